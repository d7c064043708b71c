// Where the viewport draws what: every object is a *placement* at its world place, and an instance
// whose reference has children adds placements of its own, one for each object of the referenced
// subtree, at the instance's world transform composed with that object's transform relative to
// the reference. Instances of instances are followed; a link that leads back to an object
// already being followed draws nothing more.
//
// Placement p < objects.length is object p. The added ones, `extra` x = p - objects.length, each
// hang under a *gate* (the instance in the tree, or a nested instance's placement) and are drawn
// when the gate is drawn and their object is drawn within the referenced subtree (see
// computeDrawnWithin). An instance whose reference is one object without children (the towns of
// glTF files are ~10^5 of those) adds nothing: it is drawn as that object, at its own place.
//
// Pure: no three.js, so the rules are tested without a browser.

import {computeDrawn, computeDrawnWithin} from './visibility.js';

// The most placements instances may add: nested instances multiply, and this bounds the memory
// (64 bytes of matrix each) and the frame a pathological scene asks for.
export const MAX_EXTRAS = 500000;

const UNKNOWN = -4;
const FOLLOWING = -3;
const EXPANDS = -2;
const NOTHING = -1;

// Column-major 4×4: out[o..] = a[ai..] · b[bi..]. `out` must not overlap the inputs.
function multiply(a, ai, b, bi, out, oi) {
    for (let column = 0; column < 4; column++) {
        for (let row = 0; row < 4; row++) {
            let sum = 0;
            for (let k = 0; k < 4; k++) sum += a[ai + k * 4 + row] * b[bi + column * 4 + k];
            out[oi + column * 4 + row] = sum;
        }
    }
}

const IDENTITY = new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]);

function localOf(object) {
    return object.transform ?? IDENTITY;
}

// The world transform of every object, 16 floats each: the chain of local transforms from the top.
export function computeWorld(store) {
    const world = new Float32Array(store.count() * 16);
    computeWorldOf(store, world, 0, store.count());
    return world;
}

// The world transforms of the objects first..end-1 again, a whole subtree or more: parents come
// before their children, and the parents before `first` are as `world` holds them.
export function computeWorldOf(store, world, first, end) {
    const {parentIndex} = store;
    for (let i = first; i < end; i++) {
        const local = localOf(store.objectAt(i));
        if (parentIndex[i] >= 0) multiply(world, parentIndex[i] * 16, local, 0, world, i * 16);
        else world.set(local, i * 16);
    }
}

// The index of the object instance i refers to; -1 when i is no instance or its link names no
// object of the tree (then it is drawn as a marker).
function referenceOf(store, i) {
    const object = store.objects[i];
    if (object.type !== 'instance' || !object.link) return -1;
    return store.indexById.get(object.link) ?? -1;
}

// For each object as a reference: the one object it is drawn as when that is a single object
// without children (itself, or at the end of a chain of instances), EXPANDS when a subtree has to
// be placed, NOTHING when the chain of instances leads back onto itself. Linear in the objects.
function resolveReferences(store) {
    const count = store.objects.length;
    const resolved = new Int32Array(count).fill(UNKNOWN);
    const chain = [];
    for (let start = 0; start < count; start++) {
        let t = start;
        let result;
        for (;;) {
            if (resolved[t] !== UNKNOWN) {
                result = resolved[t] === FOLLOWING ? NOTHING : resolved[t];
                break;
            }
            if (store.hasChildren(t)) {
                result = EXPANDS;
                break;
            }
            const next = referenceOf(store, t);
            if (next < 0) {
                result = t;
                break;
            }
            resolved[t] = FOLLOWING;
            chain.push(t);
            t = next;
        }
        if (resolved[t] === UNKNOWN) resolved[t] = result;
        for (const followed of chain) resolved[followed] = result;
        chain.length = 0;
    }
    return resolved;
}

class Extras {
    constructor() {
        this.count = 0;
        this.owner = []; // the object of the tree the placement belongs to: picked, coloured when selected
        this.source = []; // the object whose mesh or shape it draws; -1 for a nested instance's gate
        this.gate = []; // the placement it is drawn under
        this.root = []; // the reference whose subtree it is of
        this.member = []; // its object in that subtree
        this.matrix = new Float32Array(16 * 64);
    }

    add(owner, source, gate, root, member) {
        if (this.matrix.length < (this.count + 1) * 16) {
            const grown = new Float32Array(this.matrix.length * 2);
            grown.set(this.matrix);
            this.matrix = grown;
        }
        this.owner.push(owner);
        this.source.push(source);
        this.gate.push(gate);
        this.root.push(root);
        this.member.push(member);
        return this.count++;
    }
}

// The placements of a loaded state: `source[i]` is the object whose drawing object i shows at its
// own world place (-1: none; an instance with a subtree to place draws through its extras).
export function placeObjects(store, world) {
    const count = store.objects.length;
    const resolved = resolveReferences(store);
    const relative = new Map(); // reference -> its subtree's transforms relative to it
    const extras = new Extras();
    const source = new Int32Array(count);

    const relativeTo = (root) => {
        let matrices = relative.get(root);
        if (matrices) return matrices;
        const end = store.subtreeEnd[root];
        matrices = new Float32Array((end - root) * 16);
        matrices.set(IDENTITY);
        for (let j = root + 1; j < end; j++) {
            multiply(
                matrices,
                (store.parentIndex[j] - root) * 16,
                localOf(store.objects[j]),
                0,
                matrices,
                (j - root) * 16,
            );
        }
        relative.set(root, matrices);
        return matrices;
    };

    // Places the subtree of `root` with the root at `place`, each placement under `gate`.
    // `following` holds the objects whose drawing is being placed, to stop at a link back.
    const placeSubtree = (owner, gate, root, place, following) => {
        const matrices = relativeTo(root);
        const end = store.subtreeEnd[root];
        for (let j = root; j < end && extras.count < MAX_EXTRAS; j++) {
            const reference = referenceOf(store, j);
            if (reference >= 0 && (following.includes(reference) || resolved[reference] === NOTHING)) continue;
            const drawnAs = reference < 0 ? j : resolved[reference];
            const x = extras.add(owner, drawnAs === EXPANDS ? -1 : drawnAs, gate, root, j);
            multiply(place, 0, matrices, (j - root) * 16, extras.matrix, x * 16);
            if (drawnAs !== EXPANDS) continue;
            following.push(reference);
            placeSubtree(owner, count + x, reference, extras.matrix.slice(x * 16, x * 16 + 16), following);
            following.pop();
        }
    };

    for (let i = 0; i < count; i++) {
        const reference = referenceOf(store, i);
        const drawnAs = reference < 0 ? i : resolved[reference];
        source[i] = drawnAs === EXPANDS ? NOTHING : drawnAs;
        if (drawnAs === EXPANDS && reference !== i)
            placeSubtree(i, i, reference, world.slice(i * 16, i * 16 + 16), [i, reference]);
    }
    return {count, source, extras};
}

// Fills `out` (one entry per placement) with 1 for each placement drawn in this view. The
// objects follow computeDrawn; an extra is drawn when its gate is and its object is drawn within
// the referenced subtree. Gates come before what hangs under them, so one pass suffices.
export function computePlacementsDrawn(store, mode, placements, out) {
    computeDrawn(store, mode, out);
    const {count, extras} = placements;
    const within = new Map();
    for (let x = 0; x < extras.count; x++) {
        if (!out[extras.gate[x]]) {
            out[count + x] = 0;
            continue;
        }
        const root = extras.root[x];
        let drawn = within.get(root);
        if (!drawn) {
            drawn = computeDrawnWithin(store, mode, root, new Uint8Array(store.subtreeEnd[root] - root));
            within.set(root, drawn);
        }
        out[count + x] = drawn[extras.member[x] - root];
    }
    return out;
}
