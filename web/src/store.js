// The page's copy of the host's state: the object tree in the object manager's order, with
// the indexes the views need (parent index, depth, sibling position, end of each subtree).
// The store only mirrors what the host sent; every change comes from /api/state or an event.

const STATE_MEMBERS = new Set(['editor', 'render', 'enabled', 'selected', 'isolated', 'name', 'type', 'link', 'mesh', 'transform']);

export class Store {
    constructor() {
        this.version = 0;
        this.objects = [];
        this.indexById = new Map();
        this.document = {name: '', path: '', changed: false};
        this.button = {name: 'Vela Button', pressed: false, enabled: true, icon: '/api/icon'};
        this.console = [];
        this.window = null;
        this.opened = [];
        this.listeners = {load: [], change: []};
        this.loads = 0;  // how many times the whole state was loaded
    }

    on(kind, listener) {
        this.listeners[kind].push(listener);
    }

    emit(kind, detail) {
        for (const listener of this.listeners[kind]) listener(detail);
    }

    load(state) {
        this.version = state.version;
        this.objects = state.objects.map((object) => ({...object}));
        this.document = {...state.document};
        this.button = {...state.button};
        this.console = [...state.console];
        this.window = state.window ?? null;
        this.opened = [...(state.opened ?? [])];
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
            const parent = object.parent ? this.indexById.get(object.parent) ?? -1 : -1;
            this.parentIndex[i] = parent;
            this.depth[i] = parent < 0 ? 0 : this.depth[parent] + 1;
            const siblings = (childCounts.get(parent) ?? 0) + 1;
            childCounts.set(parent, siblings);
            this.posInSet[i] = siblings;
        }
        for (let i = 0; i < count; i++) this.setSize[i] = childCounts.get(this.parentIndex[i]);
        for (let i = count - 1; i >= 0; i--) {
            let end = i + 1;
            while (end < count && this.parentIndex[end] === i) end = this.subtreeEnd[end];
            this.subtreeEnd[i] = end;
        }
    }

    hasChildren(index) {
        return this.subtreeEnd[index] > index + 1;
    }

    selectedIds() {
        return this.objects.filter((object) => object.selected).map((object) => object.id);
    }

    // The indexes of the objects a delta of a change event names; ids the store does not hold are
    // passed over. A large event names runs of ids that mostly follow the tree's order, so the
    // object after the last one found is tried before the map.
    indexesOf(delta) {
        const indexes = [];
        let guess = -1;
        const addRun = (first, last) => {
            for (let id = first; id <= last; id++) {
                const index = this.objects[guess]?.id === id ? guess : this.indexById.get(id);
                if (index === undefined) continue;
                indexes.push(index);
                guess = index + 1;
            }
        };
        if ('id' in delta) addRun(delta.id, delta.id);
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
    // already holds is passed over.
    applyChange(change) {
        if (change.version <= this.version) return true;  // already in the state fetched last
        if (change.version !== this.version + 1) return false;
        this.version = change.version;
        const {objects} = this;
        const changedIds = [];
        for (const delta of change.objects ?? []) {
            const indexes = this.indexesOf(delta);
            // A delta names two or three members; looking up each is cheaper than asking for all.
            for (const member in delta) {
                if (!STATE_MEMBERS.has(member)) continue;
                const value = delta[member];
                for (let k = 0; k < indexes.length; k++) objects[indexes[k]][member] = value;
            }
            for (let k = 0; k < indexes.length; k++) changedIds.push(objects[indexes[k]].id);
        }
        if (change.document) Object.assign(this.document, change.document);
        if (change.button) Object.assign(this.button, change.button);
        if (change.console) this.console.push(...change.console);
        if ('window' in change) this.window = change.window;
        if (change.opened) this.opened = [...change.opened];  // sent whole, as every member but console
        this.emit('change', {change, changedIds});
        return true;
    }
}
