// Editing from the toolbar's Edit and the object panel's Create menus and from the keyboard:
// undo and redo (Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y), cut, copy and paste (Ctrl+X, Ctrl+C,
// Ctrl+V), delete (Delete), rename (F2), and making objects. The host keeps the document's
// history; the menu names the steps an undo and a redo would take, as the host sent them, and its
// items are disabled while there is nothing to undo or redo.
//
// What an edit acts on: the selection, or the object manager's active row when nothing is
// selected; with the focus in the object manager, its active row, with the selection when the row
// is selected. A paste and a new object go under the one selected object, or at the top level when
// not exactly one is selected; Ctrl+V in the object manager pastes under its active row. Keys
// typed into a field, and keys inside a modal window, are left alone.

import {byId} from './dom.js';
import {Menu} from './menu.js';
import {isTypingTarget} from './transform-values.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./object-manager.js').ObjectManager} ObjectManager */
/** @typedef {import('./protocol.js').CreatableType} CreatableType */
/** @typedef {import('./protocol.js').StepAnswer} StepAnswer */
/** @typedef {{report: (error: unknown) => void, notify: (text: string) => void}} Views */

/** @type {[string, CreatableType][]} */
const CREATABLE = [
    ['Null', 'null'],
    ['Cube', 'cube'],
    ['Sphere', 'sphere'],
    ['Cylinder', 'cylinder'],
    ['Cone', 'cone'],
    ['Plane', 'plane'],
    ['Light', 'light'],
    ['Camera', 'camera'],
];

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {ObjectManager} objectManager
 * @param {Views} views
 */
export function setUpEditing(store, actions, objectManager, {report, notify}) {
    // With the focus in the object manager, its active row, which the keyboard moves without
    // selecting, counts: the selection when the row is in it, else the row alone.
    const targets = () =>
        objectManager.hasFocus() && objectManager.active >= 0
            ? objectManager.rowTargets(objectManager.active)
            : objectManager.selectionOrActive();
    const oneSelected = () => {
        const selected = store.selectedIds();
        return selected.length === 1 ? selected[0] : 0;
    };
    /** @param {Promise<StepAnswer>} request */
    const done = (request) =>
        request.then((answer) => {
            if (answer.step) notify(answer.step);
            return answer;
        }, report);
    // The new objects become the selection, shown in the tree.
    /** @param {Promise<StepAnswer>} request */
    const selectMade = (request) =>
        done(request).then(async (answer) => {
            const ids = answer?.ids ?? [];
            if (ids.length === 0) return;
            await actions.select(ids, 'replace').catch(report);
            objectManager.reveal(ids[0]);
        });

    // What an edit acts on is read once the clicks before it are done and the store holds the
    // selection the host made of them: a key pressed right after a click acts on what was clicked.
    /** @param {() => unknown} act */
    const onSettledSelection = (act) => actions.settled().then(act, report);

    const commands = {
        undo: () => done(actions.undo()),
        redo: () => done(actions.redo()),
        cut: () =>
            onSettledSelection(() => {
                const ids = targets();
                if (ids.length > 0) done(actions.cut(ids));
            }),
        copy: () =>
            onSettledSelection(() => {
                const ids = targets();
                if (ids.length > 0) actions.copy(ids).then(() => notify(`Copied ${ids.length} object(s)`), report);
            }),
        /** @param {number} [parent] */
        paste: (parent) => onSettledSelection(() => selectMade(actions.paste({parent: parent ?? oneSelected()}))),
        delete: () =>
            onSettledSelection(() => {
                const ids = targets();
                if (ids.length > 0) done(actions.deleteObjects(ids));
            }),
        rename: () => objectManager.renameActive(),
        /** @param {CreatableType} type */
        create: (type) => onSettledSelection(() => selectMade(actions.create({type, parent: oneSelected()}))),
        instance: () =>
            onSettledSelection(() => {
                const target = oneSelected();
                if (!target) {
                    report(new Error('Select the one object the instance is to refer to.'));
                    return;
                }
                const index = store.indexOf(target);
                const parent = store.parentIndex[index];
                selectMade(
                    actions.create({
                        type: 'instance',
                        link: target,
                        parent: parent < 0 ? 0 : store.idAt(parent),
                        after: target,
                    }),
                );
            }),
    };

    const editMenu = makeEditMenu(store, commands);
    makeCreateMenu(commands);

    document.addEventListener('keydown', (event) => {
        if (event.defaultPrevented || event.metaKey || isTypingTarget(event.target)) return;
        if (event.target instanceof Element && event.target.closest('dialog[open], [role="menu"]')) return;
        const command = commandOfKey(event, objectManager);
        if (!command) return;
        event.preventDefault();
        if (editMenu.isOpen) editMenu.close();
        command(commands);
    });
}

/**
 * What a key stroke does, if it is one of the editing keys.
 * @param {KeyboardEvent} event
 * @param {ObjectManager} objectManager
 * @returns {((commands: any) => unknown) | null}
 */
function commandOfKey(event, objectManager) {
    const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
    if (event.ctrlKey && !event.altKey) {
        if (key === 'z') return event.shiftKey ? (c) => c.redo() : (c) => c.undo();
        if (event.shiftKey) return null;
        if (key === 'y') return (c) => c.redo();
        if (key === 'c') return (c) => c.copy();
        if (key === 'x') return (c) => c.cut();
        if (key === 'v') {
            const parent = objectManager.hasFocus() ? objectManager.activeId() : undefined;
            return (c) => c.paste(parent);
        }
        return null;
    }
    if (event.ctrlKey || event.altKey || event.shiftKey) return null;
    if (key === 'Delete') return (c) => c.delete();
    if (key === 'F2') return (c) => c.rename();
    return null;
}

/**
 * @param {Store} store
 * @param {Record<string, (...args: any[]) => unknown>} commands
 */
function makeEditMenu(store, commands) {
    const button = byId('edit-menu-button');
    /** @type {Menu<null>} */
    const menu = new Menu(byId('edit-menu'), [
        {label: 'Undo', run: () => store.history.undo && commands.undo()},
        {label: 'Redo', run: () => store.history.redo && commands.redo()},
        {label: 'Cut', run: () => commands.cut()},
        {label: 'Copy', run: () => commands.copy()},
        {label: 'Paste', run: () => commands.paste()},
        {label: 'Delete', run: () => commands.delete()},
        {label: 'Rename', run: () => commands.rename()},
    ]);
    const [undo, redo] = menu.items;
    const keys = ['Ctrl+Z', 'Ctrl+Shift+Z', 'Ctrl+X', 'Ctrl+C', 'Ctrl+V', 'Delete', 'F2'];
    menu.items.forEach((item, k) => item.setAttribute('aria-keyshortcuts', keys[k].replace('Ctrl', 'Control')));
    const showHistory = () => {
        const {undo: undoName, redo: redoName} = store.history;
        undo.textContent = undoName ? `Undo ${undoName}` : 'Undo';
        redo.textContent = redoName ? `Redo ${redoName}` : 'Redo';
        undo.setAttribute('aria-disabled', undoName ? 'false' : 'true');
        redo.setAttribute('aria-disabled', redoName ? 'false' : 'true');
        button.title = undoName ? `Edit (Ctrl+Z: Undo ${undoName})` : 'Edit';
    };
    store.on('load', showHistory);
    store.on('change', showHistory);
    openedBy(button, menu);
    return menu;
}

/** @param {Record<string, (...args: any[]) => unknown>} commands */
function makeCreateMenu(commands) {
    /** @type {Menu<null>} */
    const menu = new Menu(byId('create-menu'), [
        ...CREATABLE.map(([label, type]) => ({label, run: () => commands.create(type)})),
        {label: 'Instance of Selected', run: () => commands.instance()},
    ]);
    openedBy(byId('create-menu-button'), menu);
}

/**
 * A menu button's clicks and arrow keys open its menu below it.
 * @param {HTMLElement} button
 * @param {Menu<null>} menu
 */
function openedBy(button, menu) {
    const open = (/** @type {number} */ first) => {
        const {left, bottom} = button.getBoundingClientRect();
        menu.open({x: left, y: bottom}, null, {opener: button, first});
    };
    button.addEventListener('click', () => (menu.isOpen ? menu.close() : open(0)));
    button.addEventListener('keydown', (event) => {
        if (event.key !== 'ArrowDown' && event.key !== 'ArrowUp') return;
        event.preventDefault();
        open(event.key === 'ArrowDown' ? 0 : -1);
    });
}
