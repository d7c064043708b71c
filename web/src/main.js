// The studio's page: wires the store, the actions, the event stream and the views together. The
// views listen to the store and ask the actions; the host's answers come back as events.

import {Actions} from './actions.js';
import {ApiError} from './api.js';
import {setUpAttributePanel} from './attribute-panel.js';
import {setUpConsole} from './console-panel.js';
import {setUpDialogs} from './dialogs.js';
import {byId} from './dom.js';
import {setUpEditing} from './edit-menu.js';
import {followEvents} from './events.js';
import {setUpFile} from './file-panel.js';
import {Gizmo} from './gizmo.js';
import {setUpKeyboard} from './keyboard.js';
import {ObjectManager} from './object-manager.js';
import {setUpPreferences} from './preferences.js';
import {setUpProgressBar} from './progress-bar.js';
import {Store} from './store.js';
import {setUpToolbar} from './toolbar.js';
import {Viewport} from './viewport.js';

const errorBar = byId('error-bar');
const errorLine = byId('error');
const statusLine = byId('status');

/** @param {unknown} error */
function report(error) {
    // Work the person called off is told as what they did, not as a fault.
    if (error instanceof ApiError && error.details.cancelled === true) {
        notify(error.message);
        return;
    }
    let text = error instanceof Error ? error.message : String(error);
    if (error instanceof ApiError && error.status === 401) {
        text = 'The studio did not accept this page: open the address with the token that vela-host printed.';
    }
    errorLine.textContent = text;
    errorBar.hidden = false;
}

/** @param {string} text */
function notify(text) {
    errorBar.hidden = true;
    statusLine.textContent = text;
}

byId('error-dismiss').addEventListener('click', () => {
    errorBar.hidden = true;
});

const store = new Store();
const actions = new Actions(store, {report});
const objectManager = new ObjectManager(byId('object-tree'), store, actions, {
    report,
    menuButton: byId('objects-menu-button'),
    menuElement: byId('objects-menu'),
});
const viewport = new Viewport(byId('viewport', HTMLCanvasElement), store, actions, {
    report,
    picked: (id) => objectManager.reveal(id),
});
setUpToolbar(store, actions, viewport, {report, notify});
setUpConsole(store);
setUpFile(store, actions, {report, notify});
setUpPreferences(store, actions, {report});
setUpDialogs(store, actions, {report});
// The page's own keys (the gizmo's, editing) before the host's shortcuts, which get the others.
const gizmo = new Gizmo(viewport, store, actions, {report});
setUpAttributePanel(store, actions, {report});
setUpEditing(store, actions, objectManager, {report, notify});
setUpKeyboard(actions, {report, notify});

actions.reload();
const showProgress = setUpProgressBar(actions, {report});
followEvents(
    store,
    actions,
    (text) => {
        if (text) report(new Error(text));
        else errorBar.hidden = true;
    },
    showProgress,
);

// A handle for looking into the page from the browser's console (and for the browser tests'
// measurements); the page itself does not use it.
Object.assign(window, {studio: {store, actions, viewport, objectManager, gizmo}});
