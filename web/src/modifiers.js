// What the keys held with a click or a key stroke ask for, for every view that sends one.

/** @typedef {import('./protocol.js').Modifiers} Modifiers */
/** @typedef {import('./protocol.js').SelectionMode} SelectionMode */

/**
 * The Shift, Ctrl and Alt keys held, as the host takes them with a press or a key stroke.
 * @param {MouseEvent | KeyboardEvent} event
 * @returns {Modifiers}
 */
export function modifiersOf(event) {
    return {shift: event.shiftKey, ctrl: event.ctrlKey, alt: event.altKey};
}

/**
 * The selection mode a click, a key or a double-click asks for: Shift adds, Ctrl (Cmd on a Mac)
 * toggles, and alone it replaces the selection.
 * @param {MouseEvent | KeyboardEvent} event
 * @returns {SelectionMode}
 */
export function selectionMode(event) {
    if (event.shiftKey) return 'add';
    if (event.ctrlKey || event.metaKey) return 'toggle';
    return 'replace';
}
