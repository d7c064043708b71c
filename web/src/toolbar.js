// The toolbar: the Vela Button, drawn pressed while the document is isolated, and the view's
// controls. A click on the Vela Button sends the Shift, Ctrl and Alt keys held at that moment.

import {byId} from './dom.js';
import {modifiersOf} from './modifiers.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./viewport.js').Viewport} Viewport */

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {Viewport} viewport
 * @param {{report: (error: unknown) => void, notify: (text: string) => void}} views
 */
export function setUpToolbar(store, actions, viewport, {report, notify}) {
    const vela = byId('vela-button', HTMLButtonElement);
    const icon = /** @type {HTMLImageElement} */ (vela.querySelector('img'));
    const showButton = () => {
        vela.setAttribute('aria-pressed', store.button.pressed ? 'true' : 'false');
        vela.disabled = !store.button.enabled;
        if (icon.getAttribute('src') !== store.button.icon) icon.src = store.button.icon;
    };
    store.on('load', showButton);
    store.on('change', showButton);

    vela.addEventListener('click', async (event) => {
        try {
            const answer = await actions.press(modifiersOf(event));
            if (answer.result !== undefined) notify(`Vela Button answered ${JSON.stringify(answer.result)}`);
        } catch (error) {
            report(error);
        }
    });

    const renderView = byId('render-view');
    renderView.addEventListener('click', () => {
        const on = renderView.getAttribute('aria-pressed') !== 'true';
        renderView.setAttribute('aria-pressed', on ? 'true' : 'false');
        viewport.setMode(on ? 'render' : 'editor');
    });
    byId('frame-all').addEventListener('click', () => viewport.frameAll());
    byId('frame-selected').addEventListener('click', () => {
        if (!viewport.frameSelected()) notify('No selected object is drawn.');
    });
}
