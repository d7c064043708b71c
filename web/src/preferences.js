// The preferences window: the module's page as the host draws it from its description. It is a
// non-modal panel; it is fetched again when opened, after each of its actions and, while it is
// open, after every change of the state (another page may have changed it).
//
// What the module asks to open (the manual, its web site) is listed as links: a browser may block
// a window opened without a click of the person, a link is never blocked.

import {getJson, postJson} from './api.js';

export function setUpPreferences(store, {report}) {
    const panel = document.getElementById('preferences');
    const body = document.getElementById('preferences-body');
    const title = document.getElementById('preferences-title');
    const toggle = document.getElementById('preferences-toggle');
    let refreshing = null;

    // A bitmap button's picture; the button keeps its label as its name.
    const picture = ({url, width, height}) => {
        const image = document.createElement('img');
        image.src = url;
        image.alt = '';
        image.width = width;
        image.height = height;
        return image;
    };

    const control = (parameter) => {
        const row = document.createElement('div');
        row.className = 'pref-row';
        const label = parameter.label || parameter.name;
        if (parameter.kind === 'bool') {
            const input = document.createElement('input');
            input.type = 'checkbox';
            input.id = `pref-${parameter.id}`;
            input.checked = Boolean(parameter.value);
            input.addEventListener('change', () => act('/api/preferences', {id: parameter.id, value: input.checked}));
            const text = document.createElement('label');
            text.htmlFor = input.id;
            text.textContent = label;
            row.append(input, text);
        } else if (parameter.kind === 'button' || parameter.kind === 'bitmapbutton') {
            const button = document.createElement('button');
            button.type = 'button';
            button.id = `pref-${parameter.id}`;  // so the focus stays on it when the page is drawn again
            button.className = parameter.kind;
            button.textContent = label;
            if (parameter.picture) button.prepend(picture(parameter.picture));
            button.addEventListener('click', () => act('/api/preferences/click', {id: parameter.id}));
            row.append(button);
        } else {
            const input = document.createElement('input');
            input.id = `pref-${parameter.id}`;
            input.value = parameter.value ?? '';
            const isNumber = typeof parameter.value === 'number';
            if (isNumber) input.type = 'number';
            input.addEventListener('change', () => act('/api/preferences', {id: parameter.id, value: isNumber ? Number(input.value) : input.value}));
            const text = document.createElement('label');
            text.htmlFor = input.id;
            text.textContent = label;
            row.append(text, input);
        }
        return row;
    };

    const draw = (page) => {
        title.textContent = page.title;
        const focused = document.activeElement?.id;
        body.replaceChildren(...page.parameters.map(control));
        if (focused && body.querySelector(`#${CSS.escape(focused)}`)) document.getElementById(focused).focus();
    };

    const refresh = () => {
        refreshing ??= getJson('/api/preferences').then(draw, report).finally(() => {
            refreshing = null;
        });
        return refreshing;
    };

    const act = async (url, request) => {
        try {
            await postJson(url, request);
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
            refresh().then(() => body.querySelector('input, button')?.focus());
        }
        toggle.setAttribute('aria-expanded', panel.open ? 'true' : 'false');
    });
    panel.addEventListener('close', () => {
        toggle.setAttribute('aria-expanded', 'false');
        toggle.focus();
    });
    document.getElementById('preferences-close').addEventListener('click', () => panel.close());
    store.on('change', () => {
        if (panel.open) refresh();
    });

    const opened = document.getElementById('opened');
    const showOpened = () => {
        opened.replaceChildren(...store.opened.map((entry) => {
            const item = document.createElement('li');
            const link = document.createElement('a');
            link.href = entry.url;
            link.target = '_blank';
            link.rel = 'noopener';
            link.textContent = entry.kind === 'file' ? `Open ${entry.name}` : entry.url;
            item.append(link);
            return item;
        }));
        document.getElementById('opened-section').hidden = store.opened.length === 0;
    };
    store.on('load', showOpened);
    store.on('change', ({change}) => {
        if (change.opened?.length) {
            showOpened();
            opened.lastElementChild?.querySelector('a').focus();
        }
    });
}
