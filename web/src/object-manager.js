// The object manager: the object tree as an ARIA tree, drawn as a virtualised list. Only the
// rows in view exist in the document (a pool of row elements reused as the list scrolls), so a
// scene of 10^5 objects scrolls as one of ten. The tree keeps the focus itself and names the
// active row with aria-activedescendant; the dots and the check mark of the active row are in
// the tab order after the tree.

import {postJson} from './api.js';

const ROW_HEIGHT = 24;
const OVERSCAN = 6;
const NEXT_MODE = {default: 'on', on: 'off', off: 'default'};
const INDENT = 14;

export function nextMode(mode) {
    return NEXT_MODE[mode] ?? 'on';
}

export class ObjectManager {
    constructor(element, store, {report}) {
        this.element = element;
        this.store = store;
        this.report = report;
        this.folded = new Set();
        this.rows = new Int32Array(0);
        this.active = -1;  // object index of the active row
        this.pool = [];
        this.spacer = document.createElement('div');
        this.spacer.className = 'om-spacer';
        this.spacer.setAttribute('role', 'none');
        element.append(this.spacer);
        element.addEventListener('scroll', () => this.draw());
        element.addEventListener('click', (event) => this.onClick(event));
        element.addEventListener('keydown', (event) => this.onKey(event));
        new ResizeObserver(() => this.draw()).observe(element);
        store.on('load', () => this.rebuild());
        store.on('change', () => this.draw());
    }

    rebuild() {
        const known = new Set(this.store.objects.map((object) => object.id));
        for (const id of this.folded) if (!known.has(id)) this.folded.delete(id);
        if (this.active >= this.store.objects.length) this.active = -1;
        this.layout();
    }

    // The rows shown: every object whose ancestors are all unfolded, in tree order.
    layout() {
        const {objects, subtreeEnd} = this.store;
        const rows = new Int32Array(objects.length);
        let count = 0;
        for (let i = 0; i < objects.length;) {
            rows[count++] = i;
            i = this.folded.has(objects[i].id) ? subtreeEnd[i] : i + 1;
        }
        this.rows = rows.subarray(0, count);
        this.spacer.style.height = `${count * ROW_HEIGHT}px`;
        if (this.active < 0 && count > 0) this.active = 0;
        this.draw();
    }

    rowOf(index) {
        // Rows are in tree order, so the row of an object is found by bisection.
        let low = 0;
        let high = this.rows.length - 1;
        while (low <= high) {
            const middle = (low + high) >> 1;
            if (this.rows[middle] === index) return middle;
            if (this.rows[middle] < index) low = middle + 1;
            else high = middle - 1;
        }
        return -1;
    }

    draw() {
        const top = this.element.scrollTop;
        const height = this.element.clientHeight || 600;
        const first = Math.max(0, Math.floor(top / ROW_HEIGHT) - OVERSCAN);
        const last = Math.min(this.rows.length, Math.ceil((top + height) / ROW_HEIGHT) + OVERSCAN);
        while (this.pool.length < last - first) this.pool.push(this.makeRow());
        for (let slot = 0; slot < this.pool.length; slot++) {
            const row = this.pool[slot];
            const position = first + slot;
            if (position < last) this.fillRow(row, position);
            else row.hidden = true;
        }
        const activeRow = this.active >= 0 && this.rowOf(this.active) >= 0 ? `om-${this.store.objects[this.active].id}` : '';
        if (activeRow) this.element.setAttribute('aria-activedescendant', activeRow);
        else this.element.removeAttribute('aria-activedescendant');
    }

    makeRow() {
        const row = document.createElement('div');
        row.setAttribute('role', 'treeitem');
        row.className = 'om-row';
        row.innerHTML = `<span class="om-fold" aria-hidden="true"></span><span class="om-name"></span>` +
            `<span class="om-type"></span>` +
            `<span class="om-record" title="carries an isolation record" hidden>◆<span class="visually-hidden"> isolation record</span></span>` +
            `<button type="button" class="om-dot" data-member="editor"></button>` +
            `<button type="button" class="om-dot" data-member="render"></button>` +
            `<button type="button" class="om-check" data-member="enabled"></button>`;
        this.spacer.append(row);
        return row;
    }

    fillRow(row, position) {
        const {store} = this;
        const index = this.rows[position];
        const object = store.objects[index];
        const parts = row.children;
        row.hidden = false;
        row.id = `om-${object.id}`;
        row.dataset.index = index;
        row.style.transform = `translateY(${position * ROW_HEIGHT}px)`;
        row.setAttribute('aria-label', object.name);
        row.setAttribute('aria-level', store.depth[index] + 1);
        row.setAttribute('aria-setsize', store.setSize[index]);
        row.setAttribute('aria-posinset', store.posInSet[index]);
        row.setAttribute('aria-selected', object.selected ? 'true' : 'false');
        row.classList.toggle('om-active', index === this.active);
        if (store.hasChildren(index)) {
            const open = !this.folded.has(object.id);
            row.setAttribute('aria-expanded', open ? 'true' : 'false');
            parts[0].textContent = open ? '▾' : '▸';
        } else {
            row.removeAttribute('aria-expanded');
            parts[0].textContent = '';
        }
        parts[0].style.marginLeft = `${store.depth[index] * INDENT}px`;
        parts[1].textContent = object.name;
        parts[2].textContent = object.link ? `${object.type} → ${this.nameOf(object.link)}` : object.type;
        parts[3].hidden = !object.isolated;
        const tabIndex = index === this.active ? 0 : -1;
        for (const member of ['editor', 'render']) {
            const dot = member === 'editor' ? parts[4] : parts[5];
            dot.dataset.state = object[member];
            dot.setAttribute('aria-label', `${member} visibility: ${object[member]}`);
            dot.title = `${member} visibility: ${object[member]} (click to change)`;
            dot.tabIndex = tabIndex;
        }
        const check = parts[6];
        check.dataset.state = object.enabled ? 'on' : 'off';
        check.textContent = object.enabled ? '✓' : '✗';
        check.setAttribute('aria-label', `enabled: ${object.enabled ? 'yes' : 'no'}`);
        check.tabIndex = tabIndex;
    }

    nameOf(id) {
        const index = this.store.indexById.get(id);
        return index === undefined ? `#${id}` : this.store.objects[index].name;
    }

    async post(path, body) {
        try {
            await postJson(path, body);
        } catch (error) {
            this.report(error);
        }
    }

    select(index, event) {
        const id = this.store.objects[index].id;
        let mode = 'replace';
        if (event.shiftKey) mode = 'add';
        else if (event.ctrlKey || event.metaKey) mode = 'toggle';
        return this.post('/api/select', {ids: [id], mode});
    }

    onClick(event) {
        const row = event.target.closest('.om-row');
        if (!row) return;
        const index = Number(row.dataset.index);
        const object = this.store.objects[index];
        this.active = index;
        const member = event.target.closest('button')?.dataset.member;
        if (member === 'enabled') {
            this.post('/api/object', {id: object.id, enabled: !object.enabled});
        } else if (member) {
            this.post('/api/object', {id: object.id, [member]: nextMode(object[member])});
        } else if (event.target.closest('.om-fold') && this.store.hasChildren(index)) {
            this.toggleFold(index);
        } else {
            this.element.focus({preventScroll: true});
            this.select(index, event);
        }
        this.draw();
    }

    toggleFold(index, open = this.folded.has(this.store.objects[index].id)) {
        const id = this.store.objects[index].id;
        if (open) this.folded.delete(id);
        else this.folded.add(id);
        this.layout();
    }

    moveTo(index) {
        if (index < 0 || index >= this.store.objects.length) return;
        this.active = index;
        this.scrollIntoView(index);
        this.draw();
    }

    scrollIntoView(index) {
        const position = this.rowOf(index);
        if (position < 0) return;
        const top = position * ROW_HEIGHT;
        const view = this.element;
        if (top < view.scrollTop) view.scrollTop = top;
        else if (top + ROW_HEIGHT > view.scrollTop + view.clientHeight) view.scrollTop = top + ROW_HEIGHT - view.clientHeight;
    }

    // Shows an object: unfolds its ancestors, makes it the active row and scrolls to it.
    reveal(id) {
        const index = this.store.indexById.get(id);
        if (index === undefined) return;
        let changed = false;
        for (let parent = this.store.parentIndex[index]; parent >= 0; parent = this.store.parentIndex[parent]) {
            changed = this.folded.delete(this.store.objects[parent].id) || changed;
        }
        if (changed) this.layout();
        this.moveTo(index);
    }

    onKey(event) {
        if (event.target !== this.element || this.active < 0) return;
        const {store} = this;
        const position = this.rowOf(this.active);
        const open = store.hasChildren(this.active) && !this.folded.has(store.objects[this.active].id);
        switch (event.key) {
        case 'ArrowDown': this.moveTo(this.rows[Math.min(position + 1, this.rows.length - 1)]); break;
        case 'ArrowUp': this.moveTo(this.rows[Math.max(position - 1, 0)]); break;
        case 'Home': this.moveTo(this.rows[0]); break;
        case 'End': this.moveTo(this.rows[this.rows.length - 1]); break;
        case 'ArrowRight':
            if (store.hasChildren(this.active) && !open) this.toggleFold(this.active, true);
            else if (open) this.moveTo(this.active + 1);
            break;
        case 'ArrowLeft':
            if (open) this.toggleFold(this.active, false);
            else this.moveTo(store.parentIndex[this.active]);
            break;
        case ' ':
        case 'Enter': this.select(this.active, event); break;
        default: return;
        }
        event.preventDefault();
        event.stopPropagation();
    }
}
