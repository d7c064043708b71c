// The host's event stream. `hello` tells the current version: a page whose state is older (once
// the fetch it may have under way has come) fetches the state again. `change` is applied as a
// delta; `reload` (the tree itself changed) and a change that skips a version fetch the whole
// state again.

/** @typedef {import('./protocol.js').Hello} Hello */
/** @typedef {import('./protocol.js').Change} Change */
/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {(text: string | null) => void} onStatus  told when the connection was lost, and null
 *     when it is back
 */
export function followEvents(store, actions, onStatus) {
    const source = new EventSource('/api/events');
    source.addEventListener('hello', async (event) => {
        onStatus(null);
        const {version} = /** @type {Hello} */ (JSON.parse(event.data));
        await actions.loaded();
        if (version !== store.version) actions.reload();
    });
    source.addEventListener('change', (event) => {
        if (!store.applyChange(/** @type {Change} */ (JSON.parse(event.data)))) actions.reload();
    });
    source.addEventListener('reload', () => actions.reload());
    source.addEventListener('error', () => {
        onStatus('The connection to the studio was lost; trying again…');
    });
    return source;
}
