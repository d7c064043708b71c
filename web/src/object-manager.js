// The object manager: the object tree as an ARIA tree, drawn as a virtualised list. Only the
// rows in view exist in the document (a pool of row elements reused as the list scrolls), so a
// scene of 10^5 objects scrolls as one of ten. The tree keeps the focus itself and names the
// active row with aria-activedescendant; the dots and the check mark of the active row are in
// the tab order after the tree. A menu (from the button in the panel's header, or as a context
// menu on a row) and a double-click on a row select objects with their descendants.
// Renaming and moving rows is tree-editing.js's.

import {Menu} from './menu.js';
import {TreeEditing} from './tree-editing.js';
import {INDENT, ROW_HEIGHT} from './tree-rows.js';
import {selectionMode} from './modifiers.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./protocol.js').Mode} Mode */
/** @typedef {import('./protocol.js').SelectionMode} SelectionMode */

const OVERSCAN = 6;
const NEXT_MODE = {default: 'on', on: 'off', off: 'default'};

/**
 * The mode a click on a dot sets: default → on → off → default.
 * @param {Mode} mode
 * @returns {Mode}
 */
export function nextMode(mode) {
    return /** @type {Record<string, Mode>} */ (NEXT_MODE)[mode] ?? 'on';
}

/** @param {KeyboardEvent} event */
const opensContextMenu = (event) => event.key === 'ContextMenu' || (event.key === 'F10' && event.shiftKey);

export class ObjectManager {
    /**
     * @param {HTMLElement} element  the tree
     * @param {Store} store
     * @param {Actions} actions
     * @param {object} views
     * @param {(error: unknown) => void} views.report
     * @param {HTMLElement} views.menuButton  the button in the panel's header that opens the menu
     * @param {HTMLElement} views.menuElement  the menu
     */
    constructor(element, store, actions, {report, menuButton, menuElement}) {
        this.element = element;
        this.store = store;
        this.actions = actions;
        this.report = report;
        /** @type {Set<number>} ids of the folded objects */
        this.folded = new Set();
        this.rows = new Int32Array(0);
        this.foldedAt = new Uint8Array(0); // 1 for each folded object, by index
        this.active = -1; // object index of the active row
        /** @type {HTMLElement[]} */
        this.pool = [];
        this.spacer = document.createElement('div');
        this.spacer.className = 'om-spacer';
        this.spacer.setAttribute('role', 'none');
        element.append(this.spacer);
        element.addEventListener('scroll', () => this.draw());
        element.addEventListener('click', (event) => this.onClick(event));
        element.addEventListener('keydown', (event) => this.onKey(event));
        element.addEventListener('dblclick', (event) => this.onDoubleClick(event));
        element.addEventListener('contextmenu', (event) => this.onContextMenu(event));
        this.editing = new TreeEditing(this);
        this.menu = this.makeMenu(menuButton, menuElement);
        new ResizeObserver(() => this.draw()).observe(element);
        store.on('load', () => this.rebuild());
        store.on('change', () => this.draw());
    }

    // Keeps the folds of the objects still there: in time of the folded objects, not the tree.
    rebuild() {
        this.foldedAt = new Uint8Array(this.store.count());
        for (const id of this.folded) {
            const index = this.store.indexOf(id);
            if (index < 0) this.folded.delete(id);
            else this.foldedAt[index] = 1;
        }
        if (this.active >= this.store.count()) this.active = -1;
        this.layout();
    }

    // The rows shown: every object whose ancestors are all unfolded, in tree order; a folded
    // subtree is stepped over whole.
    layout() {
        const {subtreeEnd} = this.store;
        const total = this.store.count();
        const folded = this.foldedAt;
        const rows = new Int32Array(total);
        let count = 0;
        for (let i = 0; i < total;) {
            rows[count++] = i;
            i = folded[i] ? subtreeEnd[i] : i + 1;
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
        const activeRow = this.active >= 0 && this.rowOf(this.active) >= 0 ? `om-${this.store.idAt(this.active)}` : '';
        if (activeRow) this.element.setAttribute('aria-activedescendant', activeRow);
        else this.element.removeAttribute('aria-activedescendant');
    }

    makeRow() {
        const row = document.createElement('div');
        row.setAttribute('role', 'treeitem');
        row.className = 'om-row';
        row.draggable = true;
        row.innerHTML =
            `<span class="om-fold" aria-hidden="true"></span><span class="om-name"></span>` +
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
        const object = store.objectAt(index);
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
            const open = !this.foldedAt[index];
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
        const index = this.store.indexOf(id);
        return index < 0 ? `#${id}` : this.store.nameAt(index);
    }

    // The actions send these in order after the ones before (the two clicks of a double-click
    // select before the double-click's own request).
    /**
     * @param {number} index
     * @param {MouseEvent | KeyboardEvent} event
     */
    select(index, event) {
        return this.actions.select([this.store.idAt(index)], selectionMode(event)).catch(this.report);
    }

    /**
     * @param {number[]} ids
     * @param {SelectionMode} [mode]
     */
    selectWithChildren(ids, mode = 'replace') {
        if (ids.length === 0) return Promise.resolve();
        return this.actions.select(ids, mode, {children: true}).catch(this.report);
    }

    /**
     * @param {HTMLElement} button
     * @param {HTMLElement} element
     * @returns {Menu<number[]>}
     */
    makeMenu(button, element) {
        /** @type {Menu<number[]>} */
        const menu = new Menu(element, [{label: 'Select Children', run: (ids) => this.selectWithChildren(ids)}]);
        const openBelowButton = (/** @type {number} */ first) => {
            const {left, bottom} = button.getBoundingClientRect();
            menu.open({x: left, y: bottom}, this.selectionOrActive(), {opener: button, first});
        };
        button.addEventListener('click', () => (menu.isOpen ? menu.close() : openBelowButton(0)));
        button.addEventListener('keydown', (event) => {
            if (event.key !== 'ArrowDown' && event.key !== 'ArrowUp') return;
            event.preventDefault();
            openBelowButton(event.key === 'ArrowDown' ? 0 : -1);
        });
        return menu;
    }

    // What the menu button's entries act on: the selection, or the active row when nothing is
    // selected.
    selectionOrActive() {
        const ids = this.store.selectedIds();
        if (ids.length > 0 || this.active < 0) return ids;
        return [this.store.idAt(this.active)];
    }

    // What a row's context menu acts on: the selection when the row is in it, else the row alone.
    rowTargets(index) {
        return this.store.isSelected(index) ? this.store.selectedIds() : [this.store.idAt(index)];
    }

    openContextMenu(index, at) {
        this.active = index;
        this.draw();
        this.element.focus({preventScroll: true});
        this.menu.open(at, this.rowTargets(index), {opener: this.element});
    }

    // A right-click opens the menu at the pointer for the row under it; the keyboard's menu key
    // (which the browser sends with the tree as its target) opens it at the active row.
    onContextMenu(event) {
        event.preventDefault();
        const row = event.target.closest('.om-row');
        if (row) this.openContextMenu(Number(row.dataset.index), {x: event.clientX, y: event.clientY});
        else if (event.target === this.element && this.active >= 0) this.openContextMenuAtActiveRow();
    }

    openContextMenuAtActiveRow() {
        this.scrollIntoView(this.active);
        this.draw();
        const row = document.getElementById(`om-${this.store.idAt(this.active)}`);
        const {left, bottom} = (row ?? this.element).getBoundingClientRect();
        this.openContextMenu(this.active, {x: left + 24, y: bottom});
    }

    onDoubleClick(event) {
        const row = event.target.closest('.om-row');
        if (!row || event.target.closest('button, .om-fold')) return;
        const index = Number(row.dataset.index);
        this.selectWithChildren([this.store.idAt(index)], selectionMode(event));
    }

    onClick(event) {
        const row = event.target.closest('.om-row');
        if (!row) return;
        const index = Number(row.dataset.index);
        const object = this.store.objectAt(index);
        this.active = index;
        const member = event.target.closest('button')?.dataset.member;
        if (member === 'enabled') {
            this.actions.setObject({id: object.id, enabled: !object.enabled}).catch(this.report);
        } else if (member === 'editor' || member === 'render') {
            this.actions.setObject({id: object.id, [member]: nextMode(object[member])}).catch(this.report);
        } else if (event.target.closest('.om-fold') && this.store.hasChildren(index)) {
            this.toggleFold(index);
        } else {
            this.element.focus({preventScroll: true});
            this.select(index, event);
        }
        this.draw();
    }

    toggleFold(index, open = this.foldedAt[index] === 1) {
        const id = this.store.idAt(index);
        if (open) this.folded.delete(id);
        else this.folded.add(id);
        this.foldedAt[index] = open ? 0 : 1;
        this.layout();
    }

    moveTo(index) {
        if (index < 0 || index >= this.store.count()) return;
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
        else if (top + ROW_HEIGHT > view.scrollTop + view.clientHeight)
            view.scrollTop = top + ROW_HEIGHT - view.clientHeight;
    }

    // Shows an object: unfolds its ancestors, makes it the active row and scrolls to it.
    reveal(id) {
        const index = this.store.indexOf(id);
        if (index < 0) return;
        let changed = false;
        for (let parent = this.store.parentIndex[index]; parent >= 0; parent = this.store.parentIndex[parent]) {
            changed = this.folded.delete(this.store.idAt(parent)) || changed;
            this.foldedAt[parent] = 0;
        }
        if (changed) this.layout();
        this.moveTo(index);
    }

    onKey(event) {
        if (event.target !== this.element || this.active < 0) return;
        if (this.editing.onEditKey(event)) return;
        const {store} = this;
        const position = this.rowOf(this.active);
        const open = store.hasChildren(this.active) && !this.foldedAt[this.active];
        switch (event.key) {
            case 'ArrowDown':
                this.moveTo(this.rows[Math.min(position + 1, this.rows.length - 1)]);
                break;
            case 'ArrowUp':
                this.moveTo(this.rows[Math.max(position - 1, 0)]);
                break;
            case 'Home':
                this.moveTo(this.rows[0]);
                break;
            case 'End':
                this.moveTo(this.rows[this.rows.length - 1]);
                break;
            case 'ArrowRight':
                if (store.hasChildren(this.active) && !open) this.toggleFold(this.active, true);
                else if (open) this.moveTo(this.active + 1);
                break;
            case 'ArrowLeft':
                if (open) this.toggleFold(this.active, false);
                else this.moveTo(store.parentIndex[this.active]);
                break;
            case ' ':
                this.select(this.active, event);
                break;
            default:
                if (!opensContextMenu(event)) return;
                this.openContextMenuAtActiveRow();
        }
        event.preventDefault();
        event.stopPropagation();
    }

    // Editing the tree.

    hasFocus() {
        return document.activeElement === this.element;
    }

    /** The active row's object; 0 when there is none. */
    activeId() {
        return this.active >= 0 ? this.store.idAt(this.active) : 0;
    }

    renameActive() {
        this.editing.renameActive();
    }
}
