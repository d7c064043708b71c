// The takes panel: the active document's takes, the main take first, the current one marked. A
// click on a take (or Enter or Space on it) makes it current; a name typed and *Add take* adds a
// take. The Vela Button acts only in the main take: in another one a press writes its console
// line and changes nothing, which the toolbar then tells the person (toolbar.js).

import {byId} from './dom.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {{report: (error: unknown) => void, notify: (text: string) => void}} Views */

/**
 * The name of the current take, or null when the document has none.
 * @param {import('./protocol.js').Takes} takes
 */
export const currentTake = (takes) => (takes.current >= 0 ? takes.names[takes.current] : null);

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {Views} views
 */
export function setUpTakes(store, actions, {report, notify}) {
    const list = byId('takes');
    const note = byId('takes-note');
    const field = byId('take-name', HTMLInputElement);

    const draw = () => {
        const {names, current} = store.takes;
        const hadFocus = list.contains(document.activeElement);
        list.replaceChildren(
            ...names.map((name, index) => {
                const item = document.createElement('li');
                const take = document.createElement('button');
                take.type = 'button';
                take.className = 'take';
                take.textContent = index === 0 ? `${name} (main take)` : name;
                take.setAttribute('aria-pressed', index === current ? 'true' : 'false');
                take.dataset.name = name;
                take.addEventListener('click', () => use(name));
                item.append(take);
                return item;
            }),
        );
        if (hadFocus) /** @type {HTMLElement | null} */ (list.querySelector('[aria-pressed="true"]'))?.focus();
        note.textContent =
            current < 0
                ? 'This document has no takes, so the Vela Button does nothing here. Adding a take gives it the main take as well.'
                : current > 0
                  ? 'The Vela Button acts only in the main take.'
                  : '';
    };

    /** @param {string} name */
    const use = async (name) => {
        if (name === currentTake(store.takes)) return;
        try {
            await actions.useTake(name);
            notify(`Take ${name} is current`);
        } catch (error) {
            report(error);
        }
    };

    byId('take-form').addEventListener('submit', async (event) => {
        event.preventDefault();
        const name = field.value.trim();
        if (!name) {
            report(new Error('Type the new take’s name first.'));
            return;
        }
        try {
            await actions.newTake(name);
            field.value = '';
            notify(`Added take ${name}`);
        } catch (error) {
            report(error);
        }
    });

    store.on('load', draw);
    store.on('change', ({change}) => {
        if (change.takes) draw();
    });
}
