// The host's events, over one WebSocket per page (/api/events; the cookie, Host and Origin are
// checked as for every request). Each message is {event, data}. `hello` comes first and tells
// the current version: a page whose state is older (once the fetch it may have under way has
// come) fetches the state again. `change` is applied as a delta; `reload` (the tree itself
// changed) and a change that skips a version fetch the whole state again. The host closes the
// socket of a page that leaves too many events unread; the page then connects again, and its
// hello brings it back to the whole state like any page that was away.

/** @typedef {import('./protocol.js').Hello} Hello */
/** @typedef {import('./protocol.js').Change} Change */
/** @typedef {import('./protocol.js').Progress} Progress */
/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */

const firstRetry = 250;
const longestRetry = 5000;

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {(text: string | null) => void} onStatus  told when the connection was lost, and null
 *     when it is back
 * @param {(progress: Progress | null) => void} [onProgress]  told the progress of the host's long
 *     work (an open, a save), and null when there is none
 */
export function followEvents(store, actions, onStatus, onProgress = () => {}) {
    let retry = firstRetry;

    /** @param {{event: string, data: unknown}} message */
    async function handle({event, data}) {
        if (event === 'hello') {
            onStatus(null);
            onProgress(/** @type {Hello} */ (data).progress ?? null);
            retry = firstRetry;
            await actions.loaded();
            if (/** @type {Hello} */ (data).version !== store.version) actions.reload();
        } else if (event === 'change') {
            if (!store.applyChange(/** @type {Change} */ (data))) actions.reload();
        } else if (event === 'reload') {
            actions.reload();
        } else if (event === 'progress') {
            onProgress(/** @type {Progress | null} */ (data));
        }
    }

    function connect() {
        const socket = new WebSocket(`ws://${location.host}/api/events`);
        socket.addEventListener('message', (message) => {
            void handle(JSON.parse(String(message.data)));
        });
        socket.addEventListener('close', () => {
            onStatus('The connection to the studio was lost; trying again…');
            setTimeout(connect, retry);
            retry = Math.min(retry * 2, longestRetry);
        });
    }

    connect();
}
