// Opening and saving the document, and the window title that names it.
//
// A file dropped on the page gives the page its name and bytes but never its folder, so the page
// has the host keep the bytes of every file of a drop (Actions.openDropped) and opens the scene
// among them. The document opened so has never been saved.

import {byId} from './dom.js';
import {askPerson} from './question.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {{report: (error: unknown) => void, notify: (text: string) => void}} Views */

// Files that only come with a scene: a scene's mesh file, a glTF's buffers.
const COMPANION = /\.(mesh|bin)$/i;

// The file of a drop to open: the first, in the order the browser lists them, that is not a
// companion; none when every file is one.
/**
 * @template {{name: string}} F
 * @param {F[]} files
 */
export function sceneOf(files) {
    return files.find((file) => !COMPANION.test(file.name));
}

// Asks the person whether to open `fileName` and lose the unsaved changes of the open document.
/**
 * @param {string} fileName
 * @returns {import('./actions.js').ConfirmDiscard}
 */
const confirmDiscardFor = (fileName) => (unsaved) =>
    askPerson({
        title: 'Changes not saved',
        text: `“${unsaved}” has changes that are not saved. Open ${fileName} and lose them?`,
        choice: 'Open and lose the changes',
    });

/**
 * @param {File[]} files
 * @param {Actions} actions
 * @param {Views & {emptyPath: () => void}} views
 */
async function openDropped(files, actions, {report, notify, emptyPath}) {
    const scene = sceneOf(files);
    if (!scene) {
        report(
            new Error(
                `Nothing to open: ${files.map((file) => file.name).join(', ')} only come with a scene (.mesh, .bin). Drop them together with the scene.`,
            ),
        );
        return;
    }
    try {
        const opened = await actions.openDropped(files, scene, {
            confirmDiscard: confirmDiscardFor(scene.name),
            sending: (file, index) => notify(`Uploading ${file.name} (${index + 1} of ${files.length})…`),
            opening: () => notify(`Opening ${scene.name}…`),
        });
        if (!opened) {
            notify(`${scene.name} was not opened`);
            return;
        }
        emptyPath();
        notify(`Opened ${scene.name}`);
    } catch (error) {
        notify('');
        report(error);
    }
}

// While files are dragged over the page, the hint says a drop opens them. Drag events come for
// every element the pointer crosses, so the page counts how deep inside it the drag is.
/** @param {(files: File[]) => void} onDrop */
function setUpDropTarget(onDrop) {
    const hint = byId('drop-hint');
    let depth = 0;
    const show = (/** @type {boolean} */ shown) => {
        hint.hidden = !shown;
        hint.textContent = shown ? 'Drop to open' : '';
    };
    const carriesFiles = (/** @type {DragEvent} */ event) =>
        Array.from(event.dataTransfer?.types ?? []).includes('Files');
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

/** @param {import('./protocol.js').StudioDocument} document */
export function documentTitle(document) {
    return `${document.name || 'untitled'}${document.changed ? ' •' : ''} — Vela Studio`;
}

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {Views} views
 */
export function setUpFile(store, actions, {report, notify}) {
    const path = byId('file-path', HTMLInputElement);
    const showTitle = () => {
        document.title = documentTitle(store.document);
        byId('document-name').textContent = `${store.document.name}${store.document.changed ? ' (changed)' : ''}`;
    };
    // The field names the active document's file; switched to another document, it names that
    // one's.
    /** @type {number | undefined} */
    let shown;
    store.on('load', () => {
        showTitle();
        const active = store.documents.find((open) => open.active)?.serial;
        if (!path.value || active !== shown) path.value = store.document.path ?? '';
        shown = active;
    });
    store.on('change', ({change}) => {
        if (change.document) showTitle();
    });

    /**
     * @param {string | undefined} target
     * @param {string} done  said when saved
     */
    const save = async (target, done) => {
        try {
            await actions.save(target);
            notify(done);
        } catch (error) {
            report(error);
        }
    };
    byId('file-form').addEventListener('submit', async (event) => {
        event.preventDefault();
        const target = path.value.trim();
        try {
            notify(
                (await actions.open(target, confirmDiscardFor(target)))
                    ? `Opened ${target}`
                    : `${target} was not opened`,
            );
        } catch (error) {
            report(error);
        }
    });
    byId('file-save').addEventListener('click', () => save(undefined, `Saved ${store.document.name}`));
    byId('file-save-as').addEventListener('click', () => {
        const target = path.value.trim();
        if (!target) {
            report(new Error('Type the path to save to in the file field first.'));
            return;
        }
        save(target, `Saved as ${target}`);
    });

    // The field still names the file opened before; a dropped document has no place on disk, so
    // the field is emptied, and *Save as* writes only where the person then types.
    const emptyPath = () => {
        path.value = '';
    };
    setUpDropTarget((files) => openDropped(files, actions, {report, notify, emptyPath}));
}
