// The page's copy of the host's state: the object tree in the object manager's order, kept as
// typed arrays (one column per member, as the whole state brings them: object-table.js), with
// the indexes the views need (parent index, depth, sibling position, end of each subtree).
// The store only mirrors what the host sent; every change comes from /api/state or an event
// (actions.js fetches the one, events.js follows the other). Views listen to `load` (a whole
// state) and `change` (an event applied).

import {CHANGING_FIELDS, OBJECT_FIELDS} from './protocol.js';
import {tableOf, TRANSFORM_VALUES} from './object-table.js';

/** @typedef {import('./protocol.js').State} State */
/** @typedef {import('./protocol.js').Change} Change */
/** @typedef {import('./protocol.js').ObjectDelta} ObjectDelta */
/** @typedef {import('./protocol.js').StudioObject} StudioObject */
/** @typedef {import('./protocol.js').Mode} Mode */
/** @typedef {import('./object-table.js').ObjectTable} ObjectTable */
/** @typedef {{change: Change, changedIds: number[]}} Changed  what a `change` listener is told */
/** @typedef {{load: (store: Store) => void, change: (changed: Changed) => void}} Listeners */

const IDENTITY = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
const AFFINE = 2;
const names = new TextDecoder();
// Ids up to this many times the count (and a margin) are looked up in an array by id; sparser
// ids in a Map.
const DENSE_IDS = 4;

export class Store {
    constructor() {
        this.version = 0;
        /** @type {ObjectTable} */
        this.table = tableOf([]);
        /** @type {Map<number, string>} names changed since the state was loaded, by index */
        this.renamed = new Map();
        // Each object's transform: kind (as the table sends it) and where its values begin in
        // `transformValues`; a changed transform is written whole (kind 2) at its own place.
        /** @type {Uint8Array<ArrayBufferLike>} */
        this.transformKind = new Uint8Array(0);
        this.transformAt = new Int32Array(0);
        /** @type {Float64Array<ArrayBufferLike>} */
        this.transformValues = new Float64Array(0);
        this.transformEnd = 0; // the values in use
        /** @type {Int32Array | Map<number, number>} object index by id */
        this.indexById = new Int32Array(0);
        /** @type {Record<string, number>} each flag's bit */
        this.flagBit = {};
        /** @type {State['document']} */
        this.document = {name: '', path: '', changed: false};
        /** @type {State['button']} */
        this.button = {name: 'Vela Button', pressed: false, enabled: true, icon: '/api/icon'};
        /** @type {State['console']} */
        this.console = [];
        /** @type {State['window']} */
        this.window = null;
        /** @type {State['opened']} */
        this.opened = [];
        /** @type {State['history']} */
        this.history = {undo: null, redo: null};
        /** @type {State['documents']} the open documents, as tabs */
        this.documents = [];
        /** @type {State['takes']} the active document's */
        this.takes = {names: [], current: -1};
        /** @type {{[K in keyof Listeners]: Listeners[K][]}} */
        this.listeners = {load: [], change: []};
        this.loads = 0; // how many times the whole state was loaded
        // One entry per object, made by index().
        /** @type {Int32Array<ArrayBufferLike>} */
        this.parentIndex = new Int32Array(0); // -1 at the top level
        this.depth = new Int32Array(0);
        this.subtreeEnd = new Int32Array(0); // the index just past the object's subtree
        this.posInSet = new Int32Array(0); // 1 for the first child of its parent
        this.setSize = new Int32Array(0); // the children of its parent
    }

    /**
     * @template {keyof Listeners} K
     * @param {K} kind
     * @param {Listeners[K]} listener
     */
    on(kind, listener) {
        this.listeners[kind].push(listener);
    }

    /**
     * @template {keyof Listeners} K
     * @param {K} kind
     * @param {Parameters<Listeners[K]>[0]} detail
     */
    emit(kind, detail) {
        for (const listener of this.listeners[kind]) /** @type {(detail: unknown) => void} */ (listener)(detail);
    }

    /**
     * Takes a whole state. The store keeps the state's columns as they are (they lie in the
     * fetched answer's bytes) and changes them as events come. `objects` may also be a list of
     * objects as objectAt answers them.
     * @param {Omit<State, 'objects'> & {objects: ObjectTable | StudioObject[]}} state
     */
    load(state) {
        this.version = state.version;
        this.table = Array.isArray(state.objects) ? tableOf(state.objects) : state.objects;
        this.renamed = new Map();
        this.flagBit = Object.fromEntries(this.table.flags.map((name, bit) => [name, 1 << bit]));
        this.document = {...state.document};
        this.button = {...state.button};
        this.console = [...state.console];
        this.window = state.window ?? null;
        this.opened = [...(state.opened ?? [])];
        this.history = state.history ?? {undo: null, redo: null};
        this.documents = state.documents ?? [];
        this.takes = state.takes ?? {names: [], current: -1};
        this.index();
        this.loads++;
        this.emit('load', this);
    }

    // The table sends each object's parent index, parents before their children, so one pass
    // gives each object's depth and place among its siblings; a second pass from the end gives
    // each object the index just past its subtree.
    index() {
        const {count, parent, id, transformKind} = this.table;
        this.parentIndex = parent;
        this.depth = new Int32Array(count);
        this.subtreeEnd = new Int32Array(count);
        this.posInSet = new Int32Array(count);
        this.setSize = new Int32Array(count);
        const childCounts = new Int32Array(count + 1); // the top level's at `count`
        for (let i = 0; i < count; i++) {
            const p = parent[i];
            this.depth[i] = p < 0 ? 0 : this.depth[p] + 1;
            this.posInSet[i] = ++childCounts[p < 0 ? count : p];
        }
        for (let i = 0; i < count; i++) this.setSize[i] = childCounts[parent[i] < 0 ? count : parent[i]];
        for (let i = count - 1; i >= 0; i--) {
            let end = i + 1;
            while (end < count && parent[end] === i) end = this.subtreeEnd[end];
            this.subtreeEnd[i] = end;
        }
        this.indexIds(id, count);
        this.transformKind = transformKind;
        this.transformAt = new Int32Array(count);
        for (let i = 0, at = 0; i < count; i++) {
            this.transformAt[i] = at;
            at += TRANSFORM_VALUES[transformKind[i]];
        }
        this.transformValues = this.table.transform;
        this.transformEnd = this.transformValues.length;
    }

    /**
     * @param {ArrayLike<number>} ids
     * @param {number} count
     */
    indexIds(ids, count) {
        let largest = 0;
        for (let i = 0; i < count; i++) if (ids[i] > largest) largest = ids[i];
        if (largest <= DENSE_IDS * count + 1024) {
            const byId = new Int32Array(largest + 1).fill(-1);
            for (let i = 0; i < count; i++) byId[ids[i]] = i;
            this.indexById = byId;
        } else {
            this.indexById = new Map();
            for (let i = 0; i < count; i++) this.indexById.set(ids[i], i);
        }
    }

    // How views read the objects: the accessors below, or the columns they name for loops over
    // every object. Code outside the store does not write them.

    /** How many objects the tree holds. */
    count() {
        return this.table.count;
    }

    /**
     * The index of object `id` in the tree's order; -1 when the store does not hold it.
     * @param {number} id
     */
    indexOf(id) {
        const byId = this.indexById;
        if (byId instanceof Map) return byId.get(id) ?? -1;
        return id >= 0 && id < byId.length ? byId[id] : -1;
    }

    /** @param {number} index */
    idAt(index) {
        return this.table.id[index];
    }

    /** @param {number} index */
    nameAt(index) {
        if (this.renamed.size > 0) {
            const name = this.renamed.get(index);
            if (name !== undefined) return name;
        }
        const {nameBytes, nameStart} = this.table;
        return names.decode(nameBytes.subarray(nameStart[index], nameStart[index + 1]));
    }

    /** @param {number} index  the type's name, as session scripts write it */
    typeAt(index) {
        return this.table.types[this.table.type[index]];
    }

    /**
     * @param {number} index
     * @param {'editor' | 'render'} member
     * @returns {Mode}
     */
    modeAt(index, member) {
        return /** @type {Mode} */ (this.table.modes[this.table.modeColumns[member][index]]);
    }

    /**
     * The column of a mode state, one number per object, and the numbers of its modes: for loops
     * over every object.
     * @param {'editor' | 'render'} member
     */
    modeColumn(member) {
        const {modes, modeColumns} = this.table;
        return {column: modeColumns[member], on: modes.indexOf('on'), off: modes.indexOf('off')};
    }

    /**
     * @param {number} index
     * @param {'enabled' | 'selected' | 'isolated'} flag
     */
    flagAt(index, flag) {
        return (this.table.flagBits[index] & this.flagBit[flag]) !== 0;
    }

    /** @param {number} index */
    isSelected(index) {
        return (this.table.flagBits[index] & this.flagBit.selected) !== 0;
    }

    /** @param {number} index  the id of the object an instance refers to; 0 for none */
    linkAt(index) {
        return this.table.link[index];
    }

    /** @param {number} index  the number of its mesh for GET /api/mesh/N; 0 for none */
    meshAt(index) {
        return this.table.mesh[index];
    }

    /** @param {number} index */
    hasTransform(index) {
        return this.transformKind[index] !== 0;
    }

    /**
     * Writes object `index`'s local transform (column-major 4×4) into `out` at `offset`.
     * @template {Float32Array | Float64Array | number[]} T
     * @param {number} index
     * @param {T} out
     * @returns {T}
     * @param {number} [offset]
     */
    transformInto(index, out, offset = 0) {
        const kind = this.transformKind[index];
        const v = this.transformValues;
        const at = this.transformAt[index];
        for (let e = 0; e < 16; e++) out[offset + e] = IDENTITY[e];
        if (kind === 0) return out;
        const axes = kind === AFFINE;
        if (axes) {
            for (let axis = 0; axis < 3; axis++)
                for (let row = 0; row < 3; row++) out[offset + axis * 4 + row] = v[at + axis * 3 + row];
        }
        const from = at + (axes ? 9 : 0);
        for (let row = 0; row < 3; row++) out[offset + 12 + row] = v[from + row];
        return out;
    }

    /**
     * The object at `index` with all its members. The answer is the caller's to read, not to
     * keep: it is made on each call, and a later change is not seen in it.
     * @param {number} index
     * @returns {StudioObject}
     */
    objectAt(index) {
        const parent = this.parentIndex[index];
        const link = this.linkAt(index);
        const mesh = this.meshAt(index);
        return {
            id: this.idAt(index),
            parent: parent < 0 ? 0 : this.idAt(parent),
            name: this.nameAt(index),
            type: this.typeAt(index),
            editor: this.modeAt(index, 'editor'),
            render: this.modeAt(index, 'render'),
            enabled: this.flagAt(index, 'enabled'),
            selected: this.flagAt(index, 'selected'),
            isolated: this.flagAt(index, 'isolated'),
            ...(link ? {link} : {}),
            ...(mesh ? {mesh} : {}),
            ...(this.hasTransform(index)
                ? {transform: this.transformInto(index, /** @type {number[]} */ (new Array(16)))}
                : {}),
        };
    }

    /** @param {number} index */
    hasChildren(index) {
        return this.subtreeEnd[index] > index + 1;
    }

    selectedIds() {
        const {flagBits, id, count} = this.table;
        const bit = this.flagBit.selected;
        /** @type {number[]} */
        const ids = [];
        for (let i = 0; i < count; i++) if (flagBits[i] & bit) ids.push(id[i]);
        return ids;
    }

    // The objects a delta of a change event names, as runs of consecutive indexes: `[first,
    // end, first, end, ...]`, each end just past its run (a press names whole runs of ids, which
    // mostly lie in runs of indexes). Ids the store does not hold are passed over.
    /**
     * @param {ObjectDelta} delta
     * @returns {number[]}
     */
    indexRunsOf(delta) {
        /** @type {number[]} */
        const runs = [];
        /** @type {(first: number, last: number) => void} */
        const addIds = (first, last) => {
            for (let id = first; id <= last; id++) {
                const index = this.indexOf(id);
                if (index < 0) continue;
                if (runs.length > 0 && runs[runs.length - 1] === index) runs[runs.length - 1] = index + 1;
                else runs.push(index, index + 1);
            }
        };
        if (delta.id !== undefined) addIds(delta.id, delta.id);
        for (const item of delta.ids ?? []) {
            if (Array.isArray(item)) addIds(item[0], item[1]);
            else addIds(item, item);
        }
        return runs;
    }

    /**
     * Writes `member` of the objects at `indexes` as a change event gives it.
     * @param {number[]} indexes
     * @param {string} member
     * @param {unknown} value
     */
    write(indexes, member, value) {
        this.writeRuns(
            indexes.flatMap((index) => [index, index + 1]),
            member,
            value,
        );
    }

    /**
     * Writes `member` of the objects in the index runs `runs` (as indexRunsOf answers them).
     * @param {number[]} runs
     * @param {string} member
     * @param {unknown} value
     */
    writeRuns(runs, member, value) {
        const kind = OBJECT_FIELDS[/** @type {keyof OBJECT_FIELDS} */ (member)].kind;
        for (let r = 0; r < runs.length; r += 2) {
            const [first, end] = [runs[r], runs[r + 1]];
            if (kind === 'mode') {
                this.table.modeColumns[member].fill(
                    this.table.modes.indexOf(/** @type {string} */ (value)),
                    first,
                    end,
                );
            } else if (kind === 'flag') {
                const bit = this.flagBit[member];
                const bits = this.table.flagBits;
                for (let index = first; index < end; index++)
                    bits[index] = value ? bits[index] | bit : bits[index] & ~bit;
            } else if (kind === 'text') {
                for (let index = first; index < end; index++) this.renamed.set(index, String(value));
            } else if (kind === 'matrix') {
                for (let index = first; index < end; index++)
                    this.setTransform(index, /** @type {number[] | null} */ (value));
            }
        }
    }

    /**
     * @param {number} index
     * @param {number[] | null} matrix  column-major 4×4; null for the identity
     */
    setTransform(index, matrix) {
        if (!matrix) {
            this.transformKind[index] = 0;
            return;
        }
        if (this.transformKind[index] !== AFFINE) {
            if (this.transformEnd + 12 > this.transformValues.length) {
                const grown = new Float64Array(Math.max(64, this.transformValues.length * 2));
                grown.set(this.transformValues.subarray(0, this.transformEnd));
                this.transformValues = grown;
            }
            this.transformAt[index] = this.transformEnd;
            this.transformEnd += 12;
            this.transformKind[index] = AFFINE;
        }
        const at = this.transformAt[index];
        for (let axis = 0; axis < 4; axis++)
            for (let row = 0; row < 3; row++) this.transformValues[at + axis * 3 + row] = matrix[axis * 4 + row];
    }

    // Applies a `change` event. Each of its `objects` names one object (`id`) or several (`ids`:
    // ids, and `[first, last]` for every id from first to last) with the members they changed.
    // Answers false when the event does not follow the version the store holds, so the caller
    // fetches the whole state instead of applying it over a gap; an event the fetched state
    // already holds is passed over. Only the members of CHANGING_FIELDS are written.
    /**
     * @param {Change} change
     * @returns {boolean}
     */
    applyChange(change) {
        if (change.version <= this.version) return true; // already in the state fetched last
        if (change.version !== this.version + 1) return false;
        this.version = change.version;
        /** @type {number[][]} */
        const changedRuns = [];
        for (const delta of change.objects ?? []) {
            const runs = this.indexRunsOf(delta);
            // A delta names two or three members; looking up each is cheaper than asking for all.
            for (const member in delta) {
                if (!CHANGING_FIELDS.has(/** @type {any} */ (member))) continue;
                this.writeRuns(runs, member, delta[/** @type {keyof ObjectDelta} */ (member)]);
            }
            changedRuns.push(runs);
        }
        if (change.document) Object.assign(this.document, change.document);
        if (change.button) Object.assign(this.button, change.button);
        if (change.console) this.console.push(...change.console);
        if (change.window !== undefined) this.window = change.window;
        if (change.opened) this.opened = [...change.opened]; // sent whole, as every member but console
        if (change.history) this.history = change.history;
        if (change.documents) this.documents = change.documents;
        if (change.takes) this.takes = change.takes;
        // No view needs the ids of a change, which at a press are every object's: they are made
        // only when asked for.
        const store = this;
        this.emit('change', {
            change,
            get changedIds() {
                /** @type {number[]} */
                const ids = [];
                for (const runs of changedRuns)
                    for (let r = 0; r < runs.length; r += 2)
                        for (let index = runs[r]; index < runs[r + 1]; index++) ids.push(store.idAt(index));
                return ids;
            },
        });
        return true;
    }
}
