// The page's copy of the host's state: the object tree in the object manager's order, with
// the indexes the views need (parent index, depth, sibling position, end of each subtree).
// The store only mirrors what the host sent; every change comes from /api/state or an event
// (actions.js fetches the one, events.js follows the other). Views listen to `load` (a whole
// state) and `change` (an event applied).

import {CHANGING_FIELDS} from './protocol.js';

/** @typedef {import('./protocol.js').State} State */
/** @typedef {import('./protocol.js').Change} Change */
/** @typedef {import('./protocol.js').ObjectDelta} ObjectDelta */
/** @typedef {import('./protocol.js').StudioObject} StudioObject */
/** @typedef {{change: Change, changedIds: number[]}} Changed  what a `change` listener is told */
/** @typedef {{load: (store: Store) => void, change: (changed: Changed) => void}} Listeners */

export class Store {
    constructor() {
        this.version = 0;
        /** @type {StudioObject[]} */
        this.objects = [];
        /** @type {Map<number, number>} object index by id */
        this.indexById = new Map();
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
        /** @type {{[K in keyof Listeners]: Listeners[K][]}} */
        this.listeners = {load: [], change: []};
        this.loads = 0; // how many times the whole state was loaded
        // One entry per object, made by index().
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
     * Takes a whole state. The store keeps its objects as they are and changes them as events
     * come (a copy of 10^5 objects would cost the first picture tens of milliseconds): the
     * caller gives it a state of its own, as a fetch parses one.
     * @param {State} state
     */
    load(state) {
        this.version = state.version;
        this.objects = state.objects;
        this.document = {...state.document};
        this.button = {...state.button};
        this.console = [...state.console];
        this.window = state.window ?? null;
        this.opened = [...(state.opened ?? [])];
        this.history = state.history ?? {undo: null, redo: null};
        this.index();
        this.loads++;
        this.emit('load', this);
    }

    // Parents come before their children, so one pass finds each object's parent index and depth;
    // a second pass from the end gives each object the index just past its subtree.
    index() {
        const objects = this.objects;
        const count = objects.length;
        this.indexById = new Map();
        this.parentIndex = new Int32Array(count);
        this.depth = new Int32Array(count);
        this.subtreeEnd = new Int32Array(count);
        this.posInSet = new Int32Array(count);
        this.setSize = new Int32Array(count);
        const childCounts = new Map();
        for (let i = 0; i < count; i++) {
            const object = objects[i];
            this.indexById.set(object.id, i);
            const parent = object.parent ? (this.indexById.get(object.parent) ?? -1) : -1;
            this.parentIndex[i] = parent;
            this.depth[i] = parent < 0 ? 0 : this.depth[parent] + 1;
            const siblings = (childCounts.get(parent) ?? 0) + 1;
            childCounts.set(parent, siblings);
            this.posInSet[i] = siblings;
        }
        for (let i = 0; i < count; i++) this.setSize[i] = childCounts.get(this.parentIndex[i]) ?? 0;
        for (let i = count - 1; i >= 0; i--) {
            let end = i + 1;
            while (end < count && this.parentIndex[end] === i) end = this.subtreeEnd[end];
            this.subtreeEnd[i] = end;
        }
    }

    // How views read the objects. The objects may be kept in typed arrays rather than one
    // JavaScript object each, so code outside the store reads them only through these.

    /** How many objects the tree holds. */
    count() {
        return this.objects.length;
    }

    /**
     * The index of object `id` in the tree's order; -1 when the store does not hold it.
     * @param {number} id
     */
    indexOf(id) {
        return this.indexById.get(id) ?? -1;
    }

    /** @param {number} index */
    idAt(index) {
        return this.objects[index].id;
    }

    /** @param {number} index */
    nameAt(index) {
        return this.objects[index].name;
    }

    /**
     * The object at `index` with all its members. The answer is the caller's to read, not to
     * keep: it may be made on each call, and a later change is not seen in it.
     * @param {number} index
     * @returns {StudioObject}
     */
    objectAt(index) {
        return this.objects[index];
    }

    /** @param {number} index */
    hasChildren(index) {
        return this.subtreeEnd[index] > index + 1;
    }

    selectedIds() {
        return this.objects.filter((object) => object.selected).map((object) => object.id);
    }

    // The indexes of the objects a delta of a change event names; ids the store does not hold are
    // passed over. A large event names runs of ids that mostly follow the tree's order, so the
    // object after the last one found is tried before the map.
    /**
     * @param {ObjectDelta} delta
     * @returns {number[]}
     */
    indexesOf(delta) {
        /** @type {number[]} */
        const indexes = [];
        let guess = -1;
        /** @type {(first: number, last: number) => void} */
        const addRun = (first, last) => {
            for (let id = first; id <= last; id++) {
                const index = this.objects[guess]?.id === id ? guess : this.indexById.get(id);
                if (index === undefined) continue;
                indexes.push(index);
                guess = index + 1;
            }
        };
        if (delta.id !== undefined) addRun(delta.id, delta.id);
        for (const item of delta.ids ?? []) {
            if (Array.isArray(item)) addRun(item[0], item[1]);
            else addRun(item, item);
        }
        return indexes;
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
        const {objects} = this;
        /** @type {number[]} */
        const changedIds = [];
        for (const delta of change.objects ?? []) {
            const indexes = this.indexesOf(delta);
            // A delta names two or three members; looking up each is cheaper than asking for all.
            for (const member in delta) {
                if (!CHANGING_FIELDS.has(/** @type {any} */ (member))) continue;
                const value = delta[/** @type {keyof ObjectDelta} */ (member)];
                for (let k = 0; k < indexes.length; k++)
                    /** @type {Record<string, unknown>} */ (objects[indexes[k]])[member] = value;
            }
            for (let k = 0; k < indexes.length; k++) changedIds.push(objects[indexes[k]].id);
        }
        if (change.document) Object.assign(this.document, change.document);
        if (change.button) Object.assign(this.button, change.button);
        if (change.console) this.console.push(...change.console);
        if (change.window !== undefined) this.window = change.window;
        if (change.opened) this.opened = [...change.opened]; // sent whole, as every member but console
        if (change.history) this.history = change.history;
        this.emit('change', {change, changedIds});
        return true;
    }
}
