// Which objects the viewport draws, by the rules of the application's viewport:
// `on` shows an object whatever its parents are, `off` hides it whatever its parents are,
// `default` follows the parent (the top level is visible). A disabled object is not drawn, but
// it still passes its visibility on to its children. The render view uses the render states by
// the same rules.

const VISIBLE = 1;

// Fills `out` (a Uint8Array, one entry per object) with 1 for each object drawn in this view.
// `mode` is 'editor' or 'render'. Parents come before their children, so one pass suffices.
export function computeDrawn(store, mode, out) {
    const {objects, parentIndex} = store;
    const inherited = new Uint8Array(objects.length);
    for (let i = 0; i < objects.length; i++) {
        const object = objects[i];
        const state = object[mode];
        let visible;
        if (state === 'on') visible = VISIBLE;
        else if (state === 'off') visible = 0;
        else visible = parentIndex[i] < 0 ? VISIBLE : inherited[parentIndex[i]];
        inherited[i] = visible;
        out[i] = visible && object.enabled ? 1 : 0;
    }
    return out;
}
