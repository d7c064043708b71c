// Which objects the viewport draws, by the rules of the application's viewport:
// `on` shows an object whatever its parents are, `off` hides it whatever its parents are,
// `default` follows the parent (the top level is visible). A disabled object is not drawn, but
// it still passes its visibility on to its children. The render view uses the render states by
// the same rules.

const VISIBLE = 1;

// Each object's visibility from its mode's number and what its parent passes on: reads the
// store's columns directly, as this runs over every object on each change.
function effectiveOf(store, mode) {
    const {column, on, off} = store.modeColumn(mode);
    return (index, fromParent) => {
        const state = column[index];
        if (state === on) return VISIBLE;
        if (state === off) return 0;
        return fromParent;
    };
}

// Fills `out` (a Uint8Array, one entry per object) with 1 for each object drawn in this view.
// `mode` is 'editor' or 'render'. Parents come before their children, so one pass suffices.
export function computeDrawn(store, mode, out) {
    const {parentIndex} = store;
    const count = store.count();
    const effective = effectiveOf(store, mode);
    const flags = store.table.flagBits;
    const enabled = store.flagBit.enabled;
    const inherited = new Uint8Array(count);
    for (let i = 0; i < count; i++) {
        const visible = effective(i, parentIndex[i] < 0 ? VISIBLE : inherited[parentIndex[i]]);
        inherited[i] = visible;
        out[i] = visible && flags[i] & enabled ? 1 : 0;
    }
    return out;
}

// The same rules inside the subtree of `root` as an instance draws it: the root is drawn whatever
// its own states are (an instance shows its reference however the reference is shown in the
// tree), and the objects below it follow their states from there, so a child that is hidden or
// disabled in the tree is left out of the instance too. `out` has one entry per object of the
// subtree, the root's first.
export function computeDrawnWithin(store, mode, root, out) {
    const {parentIndex} = store;
    const effective = effectiveOf(store, mode);
    const flags = store.table.flagBits;
    const enabled = store.flagBit.enabled;
    const inherited = new Uint8Array(out.length);
    inherited[0] = VISIBLE;
    out[0] = 1;
    for (let k = 1; k < out.length; k++) {
        const visible = effective(root + k, inherited[parentIndex[root + k] - root]);
        inherited[k] = visible;
        out[k] = visible && flags[root + k] & enabled ? 1 : 0;
    }
    return out;
}
