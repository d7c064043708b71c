// Opening and saving the document, and the window title that names it.
//
// A file dropped on the page gives the page its name and content but not its place on disk, and
// the host opens files by path; so a drop only fills in the name and says so.

import {postJson} from './api.js';

export function documentTitle(document) {
    return `${document.name || 'untitled'}${document.changed ? ' •' : ''} — Vela Studio`;
}

export function setUpFile(store, {report, notify}) {
    const path = document.getElementById('file-path');
    const showTitle = () => {
        document.title = documentTitle(store.document);
        document.getElementById('document-name').textContent = `${store.document.name}${store.document.changed ? ' (changed)' : ''}`;
    };
    store.on('load', () => {
        showTitle();
        if (!path.value) path.value = store.document.path ?? '';
    });
    store.on('change', ({change}) => {
        if (change.document) showTitle();
    });

    const act = async (url, body, done) => {
        try {
            await postJson(url, body);
            notify(done);
        } catch (error) {
            report(error);
        }
    };
    document.getElementById('file-form').addEventListener('submit', (event) => {
        event.preventDefault();
        act('/api/open', {path: path.value.trim()}, `Opened ${path.value.trim()}`);
    });
    document.getElementById('file-save').addEventListener('click', () => act('/api/save', {}, `Saved ${store.document.name}`));
    document.getElementById('file-save-as').addEventListener('click', () => {
        const target = path.value.trim();
        if (!target) {
            report(new Error('Type the path to save to in the file field first.'));
            return;
        }
        act('/api/save', {path: target}, `Saved as ${target}`);
    });

    document.addEventListener('dragover', (event) => event.preventDefault());
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        const [file] = event.dataTransfer?.files ?? [];
        if (!file) return;
        path.value = file.name;
        path.focus();
        report(new Error(`The browser tells the page only the name of a dropped file (${file.name}), not the folder it is in. ` +
            'Complete its full path in the file field and press Open.'));
    });
}
