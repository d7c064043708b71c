// The studio's page: wires the store, the event stream and the views together.

import {ApiError, getJson} from './api.js';
import {setUpConsole} from './console-panel.js';
import {setUpDialogs} from './dialogs.js';
import {followEvents} from './events.js';
import {setUpFile} from './file-panel.js';
import {setUpKeyboard} from './keyboard.js';
import {ObjectManager} from './object-manager.js';
import {setUpPreferences} from './preferences.js';
import {Store} from './store.js';
import {setUpToolbar} from './toolbar.js';
import {Viewport} from './viewport.js';

const errorBar = document.getElementById('error-bar');
const errorLine = document.getElementById('error');
const statusLine = document.getElementById('status');

function report(error) {
    let text = error?.message ?? String(error);
    if (error instanceof ApiError && error.status === 401) {
        text = 'The studio did not accept this page: open the address with the token that vela-host printed.';
    }
    errorLine.textContent = text;
    errorBar.hidden = false;
}

function notify(text) {
    errorBar.hidden = true;
    statusLine.textContent = text;
}

document.getElementById('error-dismiss').addEventListener('click', () => {
    errorBar.hidden = true;
});

const store = new Store();
const objectManager = new ObjectManager(document.getElementById('object-tree'), store, {
    report,
    menuButton: document.getElementById('objects-menu-button'),
    menuElement: document.getElementById('objects-menu'),
});
const viewport = new Viewport(document.getElementById('viewport'), store, {report});
viewport.onPicked = (id) => objectManager.reveal(id);
setUpToolbar(store, viewport, {report, notify});
setUpConsole(store);
setUpFile(store, {report, notify});
setUpPreferences(store, {report});
setUpDialogs(store, {report});
setUpKeyboard({report, notify});

// One fetch of the whole state at a time; a request for another while one runs is remembered.
let loading = null;
let loadAgain = false;
async function reload() {
    if (loading) {
        loadAgain = true;
        return loading;
    }
    loading = (async () => {
        do {
            loadAgain = false;
            try {
                store.load(await getJson('/api/state'));
            } catch (error) {
                report(error);
            }
        } while (loadAgain);
        loading = null;
    })();
    return loading;
}

reload();
followEvents(store, {reload, loaded: () => loading ?? Promise.resolve(), onStatus: (text) => (text ? report(new Error(text)) : (errorBar.hidden = true))});

// A handle for looking into the page from the browser's console (and for the browser tests'
// measurements); the page itself does not use it.
window.studio = {store, viewport, objectManager};
