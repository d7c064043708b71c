// The open documents as tabs above the viewport: a click on a tab makes its document the active
// one (the host then sends the whole state again, for the tree, the viewport and the Vela Button
// are the active document's). Each tab has a close button; closing a document with unsaved
// changes asks first, as opening over one does.
//
// Keyboard: in the tab strip ← → Home End move the focus between tabs and Enter or Space switches
// to the focused one; Delete closes it. Anywhere on the page Alt+PageDown and Alt+PageUp switch to
// the next and the previous document.

import {byId} from './dom.js';
import {askPerson} from './question.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./protocol.js').OpenDocument} OpenDocument */
/** @typedef {{report: (error: unknown) => void, notify: (text: string) => void}} Views */

/**
 * Asks whether to close `name` and lose its unsaved changes.
 * @type {import('./actions.js').ConfirmDiscard}
 */
export const confirmClose = (name) =>
    askPerson({
        title: 'Changes not saved',
        text: `“${name}” has changes that are not saved. Close it and lose them?`,
        choice: 'Close and lose the changes',
    });

/** @param {OpenDocument} open */
const tabLabel = (open) => `${open.name || 'untitled'}${open.changed ? ' •' : ''}`;

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {Views} views
 */
export function setUpDocumentTabs(store, actions, {report, notify}) {
    const strip = byId('document-tabs');
    // The tab that keeps the focus when the strip is drawn again, by serial.
    /** @type {number | null} */
    let focused = null;

    /** @param {number} serial */
    const switchTo = async (serial) => {
        const target = store.documents.find((open) => open.serial === serial);
        if (!target || target.active) return;
        try {
            await actions.switchDocument(serial);
            notify(`Switched to ${target.name}`);
        } catch (error) {
            report(error);
        }
    };

    /** @param {OpenDocument} open */
    const close = async (open) => {
        try {
            const closed = await actions.closeDocument(open.serial, confirmClose);
            notify(closed ? `Closed ${open.name}` : `${open.name} was not closed`);
        } catch (error) {
            report(error);
        }
    };

    const draw = () => {
        const hadFocus = strip.contains(document.activeElement);
        strip.replaceChildren();
        for (const open of store.documents) {
            const tab = document.createElement('button');
            tab.type = 'button';
            tab.className = 'document-tab';
            tab.setAttribute('role', 'tab');
            tab.setAttribute('aria-selected', open.active ? 'true' : 'false');
            tab.tabIndex = open.active ? 0 : -1;
            tab.dataset.serial = String(open.serial);
            tab.textContent = tabLabel(open);
            tab.title = open.path || 'never saved';
            tab.addEventListener('click', () => switchTo(open.serial));
            const closer = document.createElement('button');
            closer.type = 'button';
            closer.className = 'document-tab-close';
            closer.tabIndex = -1;
            closer.textContent = '×';
            closer.setAttribute('aria-label', `Close ${open.name}`);
            closer.addEventListener('click', () => close(open));
            strip.append(tab, closer);
        }
        if (hadFocus) focusTab(focused ?? activeSerial());
    };

    const activeSerial = () => store.documents.find((open) => open.active)?.serial ?? null;
    const tabs = () => /** @type {HTMLElement[]} */ ([...strip.querySelectorAll('[role="tab"]')]);

    /** @param {number | null} serial */
    const focusTab = (serial) => {
        const tab = tabs().find((each) => each.dataset.serial === String(serial)) ?? tabs()[0];
        if (!tab) return;
        for (const each of tabs()) each.tabIndex = each === tab ? 0 : -1;
        tab.focus();
        focused = Number(tab.dataset.serial);
    };

    strip.addEventListener('keydown', (event) => {
        const all = tabs();
        const at = all.indexOf(/** @type {HTMLElement} */ (document.activeElement));
        if (at < 0) return;
        const serialAt = (/** @type {number} */ i) => Number(all[(i + all.length) % all.length].dataset.serial);
        switch (event.key) {
            case 'ArrowRight':
                focusTab(serialAt(at + 1));
                break;
            case 'ArrowLeft':
                focusTab(serialAt(at - 1));
                break;
            case 'Home':
                focusTab(serialAt(0));
                break;
            case 'End':
                focusTab(serialAt(-1));
                break;
            case 'Delete': {
                const closing = store.documents.find((open) => open.serial === serialAt(at));
                if (closing) close(closing);
                break;
            }
            default:
                return; // Enter and Space click the focused tab, as on any button
        }
        event.preventDefault();
        event.stopPropagation();
    });

    document.addEventListener('keydown', (event) => {
        if (!event.altKey || event.ctrlKey || event.metaKey || event.shiftKey) return;
        if (event.key !== 'PageDown' && event.key !== 'PageUp') return;
        event.preventDefault();
        const at = store.documents.findIndex((open) => open.active);
        const count = store.documents.length;
        if (count < 2) return;
        const next = store.documents[(at + (event.key === 'PageDown' ? 1 : -1) + count) % count];
        switchTo(next.serial);
    });

    byId('document-new').addEventListener('click', async () => {
        try {
            await actions.newDocument();
            notify('New document');
        } catch (error) {
            report(error);
        }
    });
    byId('document-close').addEventListener('click', () => {
        const active = store.documents.find((open) => open.active);
        if (active) close(active);
    });

    store.on('load', draw);
    store.on('change', ({change}) => {
        if (change.documents) draw();
    });
}
