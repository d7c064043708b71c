// The console: the lines the module and the host wrote, newest last, with where they came from.

import {byId} from './dom.js';

const LINES_SHOWN = 1000;

/** @param {import('./store.js').Store} store */
export function setUpConsole(store) {
    const list = byId('console-lines');
    let shown = 0;
    /** @param {import('./protocol.js').ConsoleLine} line */
    const lineElement = (line) => {
        const item = document.createElement('li');
        item.textContent = line.text;
        if (line.file) {
            const where = document.createElement('span');
            where.className = 'console-where';
            where.textContent = ` ${line.file}${line.line ? `:${line.line}` : ''}`;
            item.append(where);
        }
        return item;
    };
    const showFrom = (/** @type {number} */ start) => {
        const lines = store.console;
        for (let i = Math.max(start, lines.length - LINES_SHOWN); i < lines.length; i++)
            list.append(lineElement(lines[i]));
        while (list.childElementCount > LINES_SHOWN) list.firstElementChild?.remove();
        shown = lines.length;
        list.scrollTop = list.scrollHeight;
    };
    store.on('load', () => {
        list.replaceChildren();
        showFrom(0);
    });
    store.on('change', () => {
        if (store.console.length > shown) showFrom(shown);
    });
}
