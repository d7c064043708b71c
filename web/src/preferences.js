// The preferences window: the module's page as the host draws it from its description. It is a
// non-modal panel; it is fetched again when opened, after each of its actions and, while it is
// open, after every change of the state (another page may have changed it).
//
// What the module asks to open (the manual, its web site) is listed as links: a browser may block
// a window opened without a click of the person, a link is never blocked.

import {byId, focusWithin} from './dom.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./protocol.js').Parameter} Parameter */
/** @typedef {import('./protocol.js').PreferencesPage} PreferencesPage */

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {{report: (error: unknown) => void}} views
 */
export function setUpPreferences(store, actions, {report}) {
    const panel = byId('preferences', HTMLDialogElement);
    const body = byId('preferences-body');
    const title = byId('preferences-title');
    const toggle = byId('preferences-toggle');
    /** @type {Promise<void> | null} */
    let refreshing = null;

    // A bitmap button's picture; the button keeps its label as its name.
    /** @param {NonNullable<Parameter['picture']>} picture */
    const picture = ({url, width, height}) => {
        const image = document.createElement('img');
        image.src = url;
        image.alt = '';
        image.width = width;
        image.height = height;
        return image;
    };

    /** @param {Parameter} parameter */
    const control = (parameter) => {
        const row = document.createElement('div');
        row.className = 'pref-row';
        const label = parameter.label || parameter.name;
        if (parameter.kind === 'bool') {
            const input = document.createElement('input');
            input.type = 'checkbox';
            input.id = `pref-${parameter.id}`;
            input.checked = Boolean(parameter.value);
            input.addEventListener('change', () => act(() => actions.setPreference(parameter.id, input.checked)));
            const text = document.createElement('label');
            text.htmlFor = input.id;
            text.textContent = label;
            row.append(input, text);
        } else if (parameter.kind === 'button' || parameter.kind === 'bitmapbutton') {
            const button = document.createElement('button');
            button.type = 'button';
            button.id = `pref-${parameter.id}`; // so the focus stays on it when the page is drawn again
            button.className = parameter.kind;
            button.textContent = label;
            if (parameter.picture) button.prepend(picture(parameter.picture));
            button.addEventListener('click', () => act(() => actions.clickPreference(parameter.id)));
            row.append(button);
        } else {
            const input = document.createElement('input');
            input.id = `pref-${parameter.id}`;
            input.value = String(parameter.value ?? '');
            const isNumber = typeof parameter.value === 'number';
            if (isNumber) input.type = 'number';
            input.addEventListener('change', () =>
                act(() => actions.setPreference(parameter.id, isNumber ? Number(input.value) : input.value)),
            );
            const text = document.createElement('label');
            text.htmlFor = input.id;
            text.textContent = label;
            row.append(text, input);
        }
        return row;
    };

    /** @param {PreferencesPage} page */
    const draw = (page) => {
        title.textContent = page.title;
        const focused = document.activeElement?.id;
        body.replaceChildren(...page.parameters.map(control));
        if (focused) focusWithin(body, `#${CSS.escape(focused)}`);
    };

    const refresh = () => {
        refreshing ??= actions
            .preferences()
            .then(draw, report)
            .finally(() => {
                refreshing = null;
            });
        return refreshing;
    };

    /** @param {() => Promise<unknown>} request */
    const act = async (request) => {
        try {
            await request();
        } catch (error) {
            report(error);
        }
        if (panel.open) refresh();
    };

    toggle.addEventListener('click', () => {
        if (panel.open) {
            panel.close();
        } else {
            panel.show();
            refresh().then(() => focusWithin(body, 'input, button'));
        }
        toggle.setAttribute('aria-expanded', panel.open ? 'true' : 'false');
    });
    panel.addEventListener('close', () => {
        toggle.setAttribute('aria-expanded', 'false');
        toggle.focus();
    });
    byId('preferences-close').addEventListener('click', () => panel.close());
    store.on('change', () => {
        if (panel.open) refresh();
    });

    const opened = byId('opened');
    const showOpened = () => {
        opened.replaceChildren(
            ...store.opened.map((entry) => {
                const item = document.createElement('li');
                const link = document.createElement('a');
                link.href = entry.url;
                link.target = '_blank';
                link.rel = 'noopener';
                link.textContent = entry.kind === 'file' ? `Open ${entry.name}` : entry.url;
                item.append(link);
                return item;
            }),
        );
        byId('opened-section').hidden = store.opened.length === 0;
    };
    store.on('load', showOpened);
    store.on('change', ({change}) => {
        if (change.opened?.length) {
            showOpened();
            if (opened.lastElementChild) focusWithin(opened.lastElementChild, 'a');
        }
    });
}
