// Opening and saving the document, and the window title that names it.
//
// A file dropped on the page gives the page its name and bytes but never its folder, so the page
// sends the host the bytes of each file of a drop (one request each, all into the same drop on the
// host, so that a scene finds its mesh file and a glTF its buffers beside it) and then asks the
// host to open the scene among them. The document opened so has never been saved.

import {postBytes, postJson} from './api.js';
import {askPerson} from './question.js';

// Files that only come with a scene: a scene's mesh file, a glTF's buffers.
const COMPANION = /\.(mesh|bin)$/i;

// The file of a drop to open: the first, in the order the browser lists them, that is not a
// companion; none when every file is one.
export function sceneOf(files) {
    return files.find((file) => !COMPANION.test(file.name));
}

// Sends every file of the drop, the first making the drop on the host; answers the drop's number.
async function upload(files, notify) {
    let drop;
    for (const [index, file] of files.entries()) {
        notify(`Uploading ${file.name} (${index + 1} of ${files.length})…`);
        const query = new URLSearchParams({name: file.name});
        if (drop !== undefined) query.set('drop', String(drop));
        ({drop} = await postBytes(`/api/upload?${query}`, file));
    }
    return drop;
}

// Opens what `body` names. When the open document has changes that were not saved, the host
// refuses and names it; the page then asks the person and opens again, discarding them, only if
// they choose so. Answers whether the file was opened.
async function openAsking(body, fileName) {
    try {
        await postJson('/api/open', body);
        return true;
    } catch (error) {
        const unsaved = error.status === 409 ? error.details?.unsaved : undefined;
        if (typeof unsaved !== 'string') throw error;
        const discard = await askPerson({
            title: 'Changes not saved',
            text: `“${unsaved}” has changes that are not saved. Open ${fileName} and lose them?`,
            choice: 'Open and lose the changes',
        });
        if (!discard) return false;
        await postJson('/api/open', {...body, discardChanges: true});
        return true;
    }
}

async function openDropped(files, {report, notify, opened}) {
    const scene = sceneOf(files);
    if (!scene) {
        report(new Error(`Nothing to open: ${files.map((file) => file.name).join(', ')} only come with a scene (.mesh, .bin). Drop them together with the scene.`));
        return;
    }
    try {
        const drop = await upload(files, notify);
        notify(`Opening ${scene.name}…`);
        if (!(await openAsking({drop, name: scene.name}, scene.name))) {
            notify(`${scene.name} was not opened`);
            return;
        }
        opened();
        notify(`Opened ${scene.name}`);
    } catch (error) {
        notify('');
        report(error);
    }
}

// While files are dragged over the page, the hint says a drop opens them. Drag events come for
// every element the pointer crosses, so the page counts how deep inside it the drag is.
function setUpDropTarget(onDrop) {
    const hint = document.getElementById('drop-hint');
    let depth = 0;
    const show = (shown) => {
        hint.hidden = !shown;
        hint.textContent = shown ? 'Drop to open' : '';
    };
    const carriesFiles = (event) => Array.from(event.dataTransfer?.types ?? []).includes('Files');
    document.addEventListener('dragenter', (event) => {
        if (!carriesFiles(event)) return;
        depth++;
        show(true);
    });
    document.addEventListener('dragleave', (event) => {
        if (!carriesFiles(event)) return;
        depth = Math.max(0, depth - 1);
        if (depth === 0) show(false);
    });
    document.addEventListener('dragover', (event) => event.preventDefault());
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        depth = 0;
        show(false);
        const files = Array.from(event.dataTransfer?.files ?? []);
        if (files.length > 0) onDrop(files);
    });
}

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
    document.getElementById('file-form').addEventListener('submit', async (event) => {
        event.preventDefault();
        const target = path.value.trim();
        try {
            notify(await openAsking({path: target}, target) ? `Opened ${target}` : `${target} was not opened`);
        } catch (error) {
            report(error);
        }
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

    // The field still names the file opened before; a dropped document has no place on disk, so
    // the field is emptied, and *Save as* writes only where the person then types.
    const opened = () => {
        path.value = '';
    };
    setUpDropTarget((files) => openDropped(files, {report, notify, opened}));
}
