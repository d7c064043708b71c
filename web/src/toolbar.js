// The toolbar: the Vela Button, drawn pressed while the active document is isolated, and the
// view's controls. A click on the Vela Button sends the Shift, Ctrl and Alt keys held at that
// moment; when the press changed nothing because of the document's takes, a notice beside the
// button says why.

import {byId} from './dom.js';
import {modifiersOf} from './modifiers.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./viewport.js').Viewport} Viewport */

/**
 * Why a press changed nothing, for the notice beside the button; empty when it acted. The command
 * acts only in the document's main take: in another take it writes its console line and
 * returns, and in a document without takes it does nothing at all.
 * @param {import('./protocol.js').Takes} takes  the active document's when the press was made
 * @param {import('./protocol.js').PressAnswer} answer
 */
export function pressNotice({names, current}, answer) {
    if (current < 0)
        return 'Nothing changed: this document has no takes, and the Vela Button acts only in the main take.';
    if (current === 0) return '';
    const lines = (answer.console ?? []).map((line) => `“${line.text}”`).join(', ');
    const wrote = lines ? ` It wrote ${lines} to the console.` : '';
    return `Nothing changed: the current take is “${names[current]}”, and the Vela Button acts only in the main take (“${names[0]}”).${wrote}`;
}

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

    const notice = byId('press-notice');
    /** @param {string} text */
    const showNotice = (text) => {
        notice.textContent = text;
        notice.hidden = !text;
    };
    vela.addEventListener('click', async (event) => {
        try {
            const answer = await actions.press(modifiersOf(event));
            if (answer.result !== undefined) notify(`Vela Button answered ${JSON.stringify(answer.result)}`);
            showNotice(pressNotice(store.takes, answer));
        } catch (error) {
            report(error);
        }
    });
    // The notice is about the take a press was made in; once another take or document is
    // current, it no longer applies.
    store.on('load', () => showNotice(''));
    store.on('change', ({change}) => {
        if (change.takes) showNotice('');
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
