// The module's modal windows: a dialog drawn from its layout, or a message box. The host keeps
// the window until the person acts; the page shows it as a modal <dialog> and sends each action.
// Typing replaces the field's text in the host. Actions go out one after another, in order.

import {byId, focusWithin} from './dom.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./protocol.js').Gadget} Gadget */

/**
 * What a button of the window sends: `OK` and the first button `ok`, `Cancel` and the others
 * `cancel`.
 * @param {number} index
 * @param {string} label
 * @returns {'ok' | 'cancel'}
 */
export function buttonAction(index, label) {
    const name = label.trim().toLowerCase();
    if (name === 'ok') return 'ok';
    if (name === 'cancel') return 'cancel';
    return index === 0 ? 'ok' : 'cancel';
}

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {{report: (error: unknown) => void}} views
 */
export function setUpDialogs(store, actions, {report}) {
    const dialog = byId('module-window', HTMLDialogElement);
    const heading = byId('module-window-title');
    const body = byId('module-window-body');
    let drawn = 'null';
    /** @type {Element | null} where the focus goes back to when the window has closed */
    let focusBefore = null;

    /** @param {import('./protocol.js').WindowRequest} request */
    const send = (request) => actions.windowAction(request).catch(report);

    /**
     * @param {Gadget} node
     * @param {string} [labelText]  the static text before it, which names a field
     * @returns {HTMLElement}
     */
    const gadget = (node, labelText) => {
        switch (node.kind) {
            case 'group': {
                const group = document.createElement(node.text ? 'fieldset' : 'div');
                group.className = 'gadget-group';
                if (node.text) {
                    const legend = document.createElement('legend');
                    legend.textContent = node.text;
                    group.append(legend);
                }
                group.style.gridTemplateColumns = `repeat(${node.columns ?? 1}, auto)`;
                let lastText = '';
                for (const child of node.children ?? []) {
                    group.append(gadget(child, lastText));
                    lastText = child.kind === 'static' ? (child.text ?? '') : '';
                }
                return group;
            }
            case 'static': {
                const text = document.createElement('p');
                text.textContent = node.text ?? '';
                return text;
            }
            case 'edit': {
                const input = document.createElement('input');
                input.id = `gadget-${node.id}`;
                input.value = node.text ?? '';
                input.setAttribute('aria-label', labelText || 'text');
                input.addEventListener('input', () => send({action: 'type', text: input.value}));
                input.addEventListener('keydown', (event) => {
                    if (event.key === 'Enter') {
                        event.preventDefault();
                        send({action: 'ok'});
                    }
                });
                return input;
            }
            case 'buttons': {
                const row = document.createElement('div');
                row.className = 'gadget-buttons';
                (node.buttons ?? []).forEach((label, index) => {
                    const button = document.createElement('button');
                    button.type = 'button';
                    button.textContent = label;
                    button.addEventListener('click', () => send({action: buttonAction(index, label)}));
                    row.append(button);
                });
                return row;
            }
            default: {
                const unknown = document.createElement('p');
                unknown.textContent = node.text ?? `(${node.kind})`;
                return unknown;
            }
        }
    };

    const show = () => {
        const window = store.window;
        const description = JSON.stringify(window);
        if (description === drawn) return;
        drawn = description;
        if (!window) {
            if (dialog.open) dialog.close();
            if (focusBefore instanceof HTMLElement && focusBefore.isConnected) focusBefore.focus();
            focusBefore = null;
            return;
        }
        const focused = document.activeElement?.id;
        if (window.kind === 'message') {
            heading.textContent = 'Message';
            const text = document.createElement('p');
            text.textContent = window.text;
            body.replaceChildren(text, gadget({kind: 'buttons', buttons: ['OK']}));
        } else {
            heading.textContent = window.title ?? 'Dialog';
            body.replaceChildren(gadget(window.layout ?? {kind: 'static', text: ''}));
        }
        if (!dialog.open) {
            focusBefore = document.activeElement;
            dialog.showModal();
        }
        if (!(focused && focusWithin(body, `#${CSS.escape(focused)}`))) focusWithin(body, 'input, button');
    };

    dialog.addEventListener('cancel', (event) => {
        // Esc: the window's own close control; the host says when it has closed.
        event.preventDefault();
        send({action: 'close'});
    });
    byId('module-window-close').addEventListener('click', () => send({action: 'close'}));
    store.on('load', show);
    store.on('change', ({change}) => {
        if ('window' in change) show();
    });
}
