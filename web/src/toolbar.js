// The toolbar: the Vela Button, drawn pressed while the document is isolated, and the view's
// controls. A click on the Vela Button sends the Shift, Ctrl and Alt keys held at that moment.

import {postJson} from './api.js';

export function modifiersOf(event) {
    return {shift: event.shiftKey, ctrl: event.ctrlKey, alt: event.altKey};
}

export function setUpToolbar(store, viewport, {report, notify}) {
    const vela = document.getElementById('vela-button');
    const icon = vela.querySelector('img');
    const showButton = () => {
        vela.setAttribute('aria-pressed', store.button.pressed ? 'true' : 'false');
        vela.disabled = !store.button.enabled;
        if (icon.getAttribute('src') !== store.button.icon) icon.src = store.button.icon;
    };
    store.on('load', showButton);
    store.on('change', showButton);

    vela.addEventListener('click', async (event) => {
        try {
            const answer = await postJson('/api/press', modifiersOf(event));
            if (answer.result !== undefined) notify(`Vela Button answered ${JSON.stringify(answer.result)}`);
        } catch (error) {
            report(error);
        }
    });

    const renderView = document.getElementById('render-view');
    renderView.addEventListener('click', () => {
        const on = renderView.getAttribute('aria-pressed') !== 'true';
        renderView.setAttribute('aria-pressed', on ? 'true' : 'false');
        viewport.setMode(on ? 'render' : 'editor');
    });
    document.getElementById('frame-all').addEventListener('click', () => viewport.frameAll());
    document.getElementById('frame-selected').addEventListener('click', () => {
        if (!viewport.frameSelected()) notify('No selected object is drawn.');
    });
}
