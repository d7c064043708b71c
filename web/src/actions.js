// Every request the page makes of the host goes through here, as every change of the three.js
// editor goes through its commands: the views listen to the store and ask the actions; none
// sends a request of its own. The host does requests in the order they arrive, so the order in
// which the page sends them is decided here too:
//
// - Edits (selecting, an object's states, and making, switching and closing documents and takes)
//   go out one after another, each once the one before it was answered, so the host does them
//   in the order the person acted (the two clicks of a double-click select before the
//   double-click's own request, a click in the viewport after a click in the tree before it).
// - The modal window's actions go out one after another on a lane of their own: the request that
//   opened the window is answered only when it closes, so they must not wait for anything else.
// - The whole state is fetched once at a time; asked for again while a fetch runs, it is fetched
//   once more after it.
// - Everything else (a press, a key stroke, the preferences, opening and saving) goes out at once.
//
// A request that fails rejects with an ApiError (api.js) for the view to show, and leaves its
// lane free for the next.

import {ApiError, getBytes, getJson, postBytes, postJson} from './api.js';
import {decodeState} from './object-table.js';

/** @typedef {import('./protocol.js').State} State */
/** @typedef {import('./protocol.js').Mesh} Mesh */
/** @typedef {import('./protocol.js').Look} Look */
/** @typedef {import('./protocol.js').PreferencesPage} PreferencesPage */
/** @typedef {import('./protocol.js').SelectionMode} SelectionMode */
/** @typedef {import('./protocol.js').ObjectRequest} ObjectRequest */
/** @typedef {import('./protocol.js').Modifiers} Modifiers */
/** @typedef {import('./protocol.js').KeyStroke} KeyStroke */
/** @typedef {import('./protocol.js').WindowRequest} WindowRequest */
/** @typedef {import('./protocol.js').OpenRequest} OpenRequest */
/** @typedef {import('./protocol.js').CloseRequest} CloseRequest */
/** @typedef {import('./protocol.js').DocumentAnswer} DocumentAnswer */
/** @typedef {import('./protocol.js').Answer} Answer */
/** @typedef {import('./protocol.js').PressAnswer} PressAnswer */
/** @typedef {import('./protocol.js').KeyAnswer} KeyAnswer */
/** @typedef {import('./protocol.js').UploadAnswer} UploadAnswer */
/** @typedef {import('./protocol.js').StepAnswer} StepAnswer */
/** @typedef {import('./protocol.js').TransformRequest} TransformRequest */
/** @typedef {import('./protocol.js').CreateRequest} CreateRequest */
/** @typedef {import('./protocol.js').MoveRequest} MoveRequest */
/** @typedef {import('./protocol.js').PasteRequest} PasteRequest */
/** @typedef {import('./store.js').Store} Store */

/**
 * Asked when an open or a close would lose changes that were not saved: answers whether to
 * lose them.
 * @callback ConfirmDiscard
 * @param {string} unsaved  the open document's name
 * @returns {Promise<boolean>}
 */

export class Actions {
    /**
     * @param {Store} store  where a fetched state goes
     * @param {{report: (error: unknown) => void}} views  `report` shows a failed fetch of the state
     */
    constructor(store, {report}) {
        this.store = store;
        this.report = report;
        /** @type {Map<string, Promise<unknown>>} the last request of each lane */
        this.lanes = new Map();
        /** @type {Promise<void> | null} */
        this.loading = null;
        this.loadAgain = false;
        this.stateBytes = 0; // the size of the whole state fetched last
        this.answeredVersion = 0; // the host's version after the last edit it answered
        /** @type {Array<() => void>} waiting for the store to take a change or a whole state */
        this.waitingForStore = [];
        const wake = () => {
            const waiting = this.waitingForStore;
            this.waitingForStore = [];
            for (const resolve of waiting) resolve();
        };
        store.on('change', wake);
        store.on('load', wake);
    }

    /**
     * Sends `request` once the lane's request before it has been answered or refused.
     * @template T
     * @param {string} lane
     * @param {() => Promise<T>} request
     * @returns {Promise<T>}
     */
    inOrder(lane, request) {
        const sent = (this.lanes.get(lane) ?? Promise.resolve()).then(request).then((answer) => {
            const version = /** @type {{version?: unknown}} */ (answer)?.version;
            if (typeof version === 'number') this.answeredVersion = Math.max(this.answeredVersion, version);
            return answer;
        });
        this.lanes.set(
            lane,
            sent.catch(() => {}),
        );
        return sent;
    }

    /**
     * Resolves once the edits sent so far are answered and the store holds what they changed (their
     * change events have come), so that what an edit is to act on is read from the selection the
     * host has: a key pressed right after a click in the viewport acts on what was clicked. Waits
     * at most `patience` milliseconds for the events, which a page that lost its channel may never
     * get.
     * @returns {Promise<void>}
     */
    async settled(patience = 2000) {
        await this.lanes.get('edits');
        const deadline = performance.now() + patience;
        while (this.store.version < this.answeredVersion && performance.now() < deadline) {
            await new Promise((resolve) => {
                this.waitingForStore.push(() => resolve(undefined));
                setTimeout(resolve, Math.max(0, deadline - performance.now()));
            });
        }
    }

    // The state.

    /**
     * Fetches the whole state into the store; failures are reported, not thrown.
     * @returns {Promise<void>}
     */
    reload() {
        if (this.loading) {
            this.loadAgain = true;
            return this.loading;
        }
        this.loading = (async () => {
            do {
                this.loadAgain = false;
                try {
                    const started = performance.now();
                    const bytes = await getBytes('/api/state');
                    const fetched = performance.now();
                    const state = decodeState(bytes);
                    const decoded = performance.now();
                    this.store.load(state);
                    // Where a load's time goes, for the benchmarks (bench/measure-scale.mjs).
                    performance.measure('state: fetch', {start: started, end: fetched});
                    performance.measure('state: decode', {start: fetched, end: decoded});
                    performance.measure('state: store and views', {start: decoded, end: performance.now()});
                    this.stateBytes = bytes.byteLength;
                } catch (error) {
                    this.report(error);
                }
            } while (this.loadAgain);
            this.loading = null;
        })();
        return this.loading;
    }

    /** @returns {Promise<void>} settles when the fetch of the state under way, if any, has */
    loaded() {
        return this.loading ?? Promise.resolve();
    }

    // Reads.

    /**
     * @param {number} id
     * @returns {Promise<Mesh>}
     */
    mesh(id) {
        return /** @type {Promise<Mesh>} */ (getJson(`/api/mesh/${id}`));
    }

    /**
     * How a camera or a light looks; {} for other objects.
     * @param {number} id
     * @returns {Promise<Look>}
     */
    look(id) {
        return /** @type {Promise<Look>} */ (getJson(`/api/look/${id}`));
    }

    /** @returns {Promise<PreferencesPage>} */
    preferences() {
        return /** @type {Promise<PreferencesPage>} */ (getJson('/api/preferences'));
    }

    // Edits, in order.

    /**
     * Selects the objects; `children`: each with everything below it. `replace` with no ids
     * deselects all.
     * @param {number[]} ids
     * @param {SelectionMode} mode
     * @param {{children?: boolean}} [options]
     * @returns {Promise<Answer>}
     */
    select(ids, mode, {children = false} = {}) {
        const body = children ? {ids, mode, children} : {ids, mode};
        return this.inOrder('edits', () => /** @type {Promise<Answer>} */ (postJson('/api/select', body)));
    }

    /**
     * Changes an object's editor or render visibility or whether it is enabled.
     * @param {ObjectRequest} request
     * @returns {Promise<Answer>}
     */
    setObject(request) {
        return this.inOrder('edits', () => /** @type {Promise<Answer>} */ (postJson('/api/object', request)));
    }

    // Edits of objects and the history, in order with the other edits: a drag's transforms reach
    // the host in the order they were made, and an undo comes after the edit before it.

    /**
     * @param {string} path  the route under /api/
     * @param {object} body
     * @returns {Promise<StepAnswer>}
     */
    edit(path, body) {
        return this.inOrder('edits', () => /** @type {Promise<StepAnswer>} */ (postJson(`/api/${path}`, body)));
    }

    /**
     * @param {number} id
     * @param {string} name
     */
    rename(id, name) {
        return this.edit('rename', {id, name});
    }

    /**
     * Places an object relative to its parent; `continues` goes on from the step of the drag it
     * belongs to, so that a drag is one step to undo.
     * @param {TransformRequest} request
     */
    transform(request) {
        return this.edit('transform', request);
    }

    /** @param {CreateRequest} request */
    create(request) {
        return this.edit('create', request);
    }

    /**
     * Deletes the objects with their subtrees.
     * @param {number[]} ids
     */
    deleteObjects(ids) {
        return this.edit('delete', {ids});
    }

    /** @param {MoveRequest} request */
    move(request) {
        return this.edit('move', request);
    }

    /**
     * Copies the objects with their subtrees to the host's clipboard.
     * @param {number[]} ids
     */
    copy(ids) {
        return this.edit('copy', {ids});
    }

    /**
     * Copies the objects to the host's clipboard and deletes them.
     * @param {number[]} ids
     */
    cut(ids) {
        return this.edit('cut', {ids});
    }

    /** @param {PasteRequest} request */
    paste(request) {
        return this.edit('paste', request);
    }

    undo() {
        return this.edit('undo', {});
    }

    redo() {
        return this.edit('redo', {});
    }

    // The modal window, on a lane of its own.

    /**
     * @param {WindowRequest} request
     * @returns {Promise<Answer>}
     */
    windowAction(request) {
        return this.inOrder('window', () => /** @type {Promise<Answer>} */ (postJson('/api/window', request)));
    }

    // Sent at once.

    /**
     * Clicks the Vela Button with exactly these keys held.
     * @param {Modifiers} modifiers
     * @returns {Promise<PressAnswer>}
     */
    press(modifiers) {
        return /** @type {Promise<PressAnswer>} */ (postJson('/api/press', modifiers));
    }

    /**
     * A key stroke through the host's shortcut table.
     * @param {KeyStroke} stroke
     * @returns {Promise<KeyAnswer>}
     */
    key(stroke) {
        return /** @type {Promise<KeyAnswer>} */ (postJson('/api/key', stroke));
    }

    /**
     * @param {number} id  the parameter's
     * @param {boolean | number | string} value
     * @returns {Promise<Answer>}
     */
    setPreference(id, value) {
        return /** @type {Promise<Answer>} */ (postJson('/api/preferences', {id, value}));
    }

    /**
     * @param {number} id  the button's
     * @returns {Promise<Answer>}
     */
    clickPreference(id) {
        return /** @type {Promise<Answer>} */ (postJson('/api/preferences/click', {id}));
    }

    /**
     * Saves to `path`, or where the document came from when none is given.
     * @param {string} [path]
     * @returns {Promise<Answer>}
     */
    save(path) {
        return /** @type {Promise<Answer>} */ (postJson('/api/save', path === undefined ? {} : {path}));
    }

    /**
     * Calls off the long work the host is busy with (an open, an import, a save). It goes at once,
     * in no lane: the host answers it without waiting for the work, which then answers that it
     * was cancelled. Answers whether there was work to call off.
     * @returns {Promise<boolean>}
     */
    async cancelWork() {
        const answer = /** @type {{cancelled: boolean}} */ (await postJson('/api/cancel', {}));
        return answer.cancelled;
    }

    /**
     * Opens the file at `path`; see openAsking.
     * @param {string} path
     * @param {ConfirmDiscard} confirmDiscard
     * @returns {Promise<boolean>}
     */
    open(path, confirmDiscard) {
        return this.openAsking({path}, confirmDiscard);
    }

    /**
     * Sends every file of a drop, one after another and the first making the drop on the host,
     * so that a scene finds its mesh file and a glTF its buffers beside it; then opens `scene`
     * among them as openAsking does.
     * @param {File[]} files
     * @param {File} scene  one of `files`
     * @param {object} views
     * @param {ConfirmDiscard} views.confirmDiscard
     * @param {(file: File, index: number) => void} views.sending  told of each file before it goes
     * @param {() => void} views.opening  told when every file has gone, before the open
     * @returns {Promise<boolean>}
     */
    async openDropped(files, scene, {confirmDiscard, sending, opening}) {
        /** @type {number | undefined} */
        let drop;
        for (const [index, file] of files.entries()) {
            sending(file, index);
            const query = new URLSearchParams({name: file.name});
            if (drop !== undefined) query.set('drop', String(drop));
            ({drop} = /** @type {UploadAnswer} */ (await postBytes(`/api/upload?${query}`, file)));
        }
        opening();
        return this.openAsking({drop: /** @type {number} */ (drop), name: scene.name}, confirmDiscard);
    }

    /**
     * Opens what `request` names over the active document; see discardAsking.
     * @param {OpenRequest} request
     * @param {ConfirmDiscard} confirmDiscard
     * @returns {Promise<boolean>}
     */
    openAsking(request, confirmDiscard) {
        return discardAsking('/api/open', request, confirmDiscard);
    }

    // Documents and takes, in the order of the edits: an edit sent before a switch is done in the
    // document it was meant for.

    /**
     * A new empty document, which becomes the active one.
     * @returns {Promise<DocumentAnswer>}
     */
    newDocument() {
        return this.inOrder('edits', () => /** @type {Promise<DocumentAnswer>} */ (postJson('/api/document/new', {})));
    }

    /**
     * Makes the open document with this serial the active one.
     * @param {number} serial
     * @returns {Promise<Answer>}
     */
    switchDocument(serial) {
        return this.inOrder(
            'edits',
            () => /** @type {Promise<Answer>} */ (postJson('/api/document/switch', {document: serial})),
        );
    }

    /**
     * Closes the open document with this serial; see discardAsking.
     * @param {number} serial
     * @param {ConfirmDiscard} confirmDiscard
     * @returns {Promise<boolean>}
     */
    closeDocument(serial, confirmDiscard) {
        return this.inOrder('edits', () => discardAsking('/api/document/close', {document: serial}, confirmDiscard));
    }

    /**
     * Adds a take to the active document.
     * @param {string} name
     * @returns {Promise<Answer>}
     */
    newTake(name) {
        return this.inOrder('edits', () => /** @type {Promise<Answer>} */ (postJson('/api/take/new', {name})));
    }

    /**
     * Makes the active document's take with this name the current one.
     * @param {string} name
     * @returns {Promise<Answer>}
     */
    useTake(name) {
        return this.inOrder('edits', () => /** @type {Promise<Answer>} */ (postJson('/api/take/use', {name})));
    }
}

/**
 * Sends an action that would lose a document's unsaved changes (an open over it, a close). The
 * host refuses it then, naming the document; the person is asked, and the action sent again,
 * losing them, only if they choose so. Answers whether the action was done.
 * @param {string} path
 * @param {OpenRequest | CloseRequest} request
 * @param {ConfirmDiscard} confirmDiscard
 * @returns {Promise<boolean>}
 */
async function discardAsking(path, request, confirmDiscard) {
    try {
        await postJson(path, request);
        return true;
    } catch (error) {
        const unsaved = error instanceof ApiError && error.status === 409 ? error.details.unsaved : undefined;
        if (typeof unsaved !== 'string') throw error;
        if (!(await confirmDiscard(unsaved))) return false;
        await postJson(path, {...request, discardChanges: true});
        return true;
    }
}
