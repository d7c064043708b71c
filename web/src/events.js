// The host's event stream. `hello` tells the current version: a page whose state is older (once
// the fetch it may have under way has come) fetches the state again. `change` is applied as a delta; `reload` (the tree itself changed) and a
// change that skips a version fetch the whole state again.

export function followEvents(store, {reload, loaded, onStatus}) {
    const source = new EventSource('/api/events');
    source.addEventListener('hello', async (event) => {
        onStatus(null);
        const {version} = JSON.parse(event.data);
        await loaded();
        if (version !== store.version) reload();
    });
    source.addEventListener('change', (event) => {
        if (!store.applyChange(JSON.parse(event.data))) reload();
    });
    source.addEventListener('reload', () => reload());
    source.addEventListener('error', () => {
        onStatus('The connection to the studio was lost; trying again…');
    });
    return source;
}
