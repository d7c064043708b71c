// Key strokes over the page go to the host's shortcut table, as the application's would, so a
// hotkey assigned with the module's dialog works here. Keys that the page itself uses are left to
// it: typing in a field, Tab, arrows, Space and Enter on a control, anything inside a modal window.

import {modifiersOf} from './modifiers.js';

/** @typedef {import('./actions.js').Actions} Actions */

const NAMED_KEYS = {' ': 'Space', Enter: 'Enter', Backspace: 'Backspace', Escape: 'Esc', Delete: 'Delete'};
const ACTIVATES_CONTROL = new Set(['Space', 'Enter']);

// The key as the host names it: one lower-case character or a key name; null for keys the host
// does not take (modifiers alone, arrows, function keys, Tab).
/**
 * @param {{key: string, code?: string}} event
 * @returns {string | null}
 */
export function hostKeyName(event) {
    const letter = /^Key([A-Z])$/.exec(event.code ?? '');
    if (letter) return letter[1].toLowerCase();
    const digit = /^Digit([0-9])$/.exec(event.code ?? '');
    if (digit) return digit[1];
    if (event.key in NAMED_KEYS) return NAMED_KEYS[/** @type {keyof NAMED_KEYS} */ (event.key)];
    if ([...event.key].length === 1) return event.key.toLowerCase();
    return null;
}

/** @param {EventTarget | null} element */
function isTextField(element) {
    return element instanceof HTMLElement && (element.isContentEditable || element.matches('input, textarea, select'));
}

/**
 * @param {Actions} actions
 * @param {{report: (error: unknown) => void, notify: (text: string) => void}} views
 */
export function setUpKeyboard(actions, {report, notify}) {
    document.addEventListener('keydown', async (event) => {
        if (event.defaultPrevented || event.repeat || event.metaKey) return;
        const target = event.target;
        if (isTextField(target)) return;
        const within = (/** @type {string} */ selector) =>
            target instanceof Element && target.closest(selector) !== null;
        if (within('#module-window[open], #question[open]')) return;
        const key = hostKeyName(event);
        if (key === null) return;
        if (ACTIVATES_CONTROL.has(key) && within('button, a, [role="treeitem"], [role="tree"]')) return;
        if (!event.ctrlKey) event.preventDefault();
        const stroke = {key, ...modifiersOf(event)};
        try {
            const answer = await actions.key(stroke);
            const keys = [stroke.ctrl && 'ctrl', stroke.alt && 'alt', stroke.shift && 'shift', key]
                .filter(Boolean)
                .join('+');
            notify(answer.ran ? `${keys}: ${answer.ran}` : `${keys}: no command has this shortcut`);
        } catch (error) {
            report(error);
        }
    });
}
