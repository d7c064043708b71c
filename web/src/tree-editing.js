// Editing in the object manager (each edit a request to the host, which sends the new tree
// back): F2 or Enter renames the active row in place (Enter sends the name, Esc gives up); rows
// are dragged onto another row to go inside it, or onto its upper or lower quarter to go before or
// after it; and Alt with an arrow moves the active row: up and down among its siblings, left out
// of its parent, right into the sibling above it.

import {INDENT, ROW_HEIGHT} from './tree-rows.js';

/** @typedef {import('./object-manager.js').ObjectManager} ObjectManager */
/** @typedef {import('./protocol.js').MoveRequest} MoveRequest */

export class TreeEditing {
    /** @param {ObjectManager} manager */
    constructor(manager) {
        this.manager = manager;
        /** @type {HTMLInputElement | null} the name being typed, while a row is renamed */
        this.renaming = null;
        this.watchDrags();
    }

    /**
     * F2 and Enter rename; Alt with an arrow moves. Answers whether the key was taken.
     * @param {KeyboardEvent} event
     */
    onEditKey(event) {
        const plain = !event.altKey && !event.ctrlKey && !event.shiftKey && !event.metaKey;
        if (plain && (event.key === 'F2' || event.key === 'Enter')) {
            this.renameActive();
        } else if (event.altKey && !event.ctrlKey && event.key.startsWith('Arrow')) {
            this.moveActive(event.key);
        } else {
            return false;
        }
        event.preventDefault();
        event.stopPropagation();
        return true;
    }

    // Opens a field over the active row's name. Enter sends the name; a name the host refuses is
    // reported with its sentence and the field stays for another try. Esc, or leaving the field
    // unchanged, gives up.
    renameActive() {
        if (this.manager.active < 0 || this.renaming) return;
        const id = this.manager.activeId();
        this.manager.scrollIntoView(this.manager.active);
        this.manager.draw();
        const position = this.manager.rowOf(this.manager.active);
        const field = document.createElement('input');
        field.type = 'text';
        field.className = 'om-rename';
        field.spellcheck = false;
        field.value = this.manager.store.nameAt(this.manager.active);
        field.setAttribute('aria-label', `New name of ${field.value}`);
        field.style.top = `${position * ROW_HEIGHT}px`;
        field.style.left = `${(this.manager.store.depth[this.manager.active] + 1) * INDENT}px`;
        this.renaming = field;
        const original = field.value;
        let sending = false;
        const close = () => {
            if (this.renaming !== field) return;
            this.renaming = null;
            field.remove();
            this.manager.element.focus({preventScroll: true});
        };
        const send = async () => {
            if (sending) return;
            if (field.value === original) return close();
            sending = true;
            try {
                await this.manager.actions.rename(id, field.value);
                close();
            } catch (error) {
                this.manager.report(error);
                field.focus();
                field.select();
            } finally {
                sending = false;
            }
        };
        field.addEventListener('keydown', (event) => {
            event.stopPropagation();
            if (event.key === 'Enter') void send();
            else if (event.key === 'Escape') close();
            else return;
            event.preventDefault();
        });
        field.addEventListener('blur', () => {
            if (!sending && field.value === original) close();
        });
        this.manager.spacer.append(field);
        field.focus();
        field.select();
    }

    /**
     * Alt+↑ and Alt+↓ move the active row before the sibling above it or after the one below;
     * Alt+← moves it out of its parent, right after it; Alt+→ into the sibling above it, last.
     * @param {string} arrow
     */
    moveActive(arrow) {
        const {store} = this.manager;
        const index = this.manager.active;
        const parent = store.parentIndex[index];
        const parentId = parent < 0 ? 0 : store.idAt(parent);
        const above = this.siblingBefore(index);
        const below =
            store.subtreeEnd[index] < store.count() && store.parentIndex[store.subtreeEnd[index]] === parent
                ? store.subtreeEnd[index]
                : -1;
        const id = store.idAt(index);
        /** @type {import('./protocol.js').MoveRequest | null} */
        let move = null;
        if (arrow === 'ArrowUp' && above >= 0) move = {id, parent: parentId, before: store.idAt(above)};
        if (arrow === 'ArrowDown' && below >= 0) move = this.placeAfter(id, below);
        if (arrow === 'ArrowLeft' && parent >= 0) move = this.placeAfter(id, parent);
        if (arrow === 'ArrowRight' && above >= 0) move = {id, parent: store.idAt(above)};
        if (move) this.sendMove(move);
    }

    /**
     * The sibling right before object `index`; -1 when it is the first.
     * @param {number} index
     */
    siblingBefore(index) {
        const {store} = this.manager;
        const parent = store.parentIndex[index];
        let sibling = parent < 0 ? 0 : parent + 1;
        let before = -1;
        while (sibling < index) {
            before = sibling;
            sibling = store.subtreeEnd[sibling];
        }
        return before;
    }

    /**
     * The move that puts object `id` right after object `index`, among its siblings.
     * @param {number} id
     * @param {number} index
     * @returns {import('./protocol.js').MoveRequest}
     */
    placeAfter(id, index) {
        const {store} = this.manager;
        const parent = store.parentIndex[index];
        const parentId = parent < 0 ? 0 : store.idAt(parent);
        const next = store.subtreeEnd[index];
        const hasNext = next < store.count() && store.parentIndex[next] === parent;
        return hasNext ? {id, parent: parentId, before: store.idAt(next)} : {id, parent: parentId};
    }

    /** @param {import('./protocol.js').MoveRequest} move */
    sendMove(move) {
        this.manager.actions.move(move).then(
            // The tree comes back whole; the moved row stays the active one.
            () => this.manager.actions.loaded().then(() => this.manager.reveal(move.id)),
            this.manager.report,
        );
    }

    // Dragging rows: the upper quarter of a row drops before it, the lower quarter after it, the
    // rest inside it (last). The objects dragged are the selection when the row is in it.
    watchDrags() {
        /** @type {number[]} */
        let dragged = [];
        /** @param {DragEvent} event */
        const dropPlace = (event) => {
            const row = /** @type {Element} */ (event.target).closest('.om-row');
            if (!(row instanceof HTMLElement)) return null;
            const index = Number(row.dataset.index);
            const {top, height} = row.getBoundingClientRect();
            const y = (event.clientY - top) / height;
            return {index, where: y < 0.25 ? 'before' : y > 0.75 ? 'after' : 'inside', row};
        };
        this.manager.element.addEventListener('dragstart', (event) => {
            const row = /** @type {Element} */ (event.target).closest('.om-row');
            if (!(row instanceof HTMLElement) || !event.dataTransfer) return;
            dragged = this.manager.rowTargets(Number(row.dataset.index));
            event.dataTransfer.effectAllowed = 'move';
            event.dataTransfer.setData('text/plain', dragged.map((id) => this.manager.nameOf(id)).join(', '));
        });
        this.manager.element.addEventListener('dragover', (event) => {
            const place = dragged.length > 0 ? dropPlace(event) : null;
            if (!place) return;
            event.preventDefault();
            for (const row of this.manager.element.querySelectorAll('[data-drop]')) row.removeAttribute('data-drop');
            place.row.dataset.drop = place.where;
        });
        const clear = () => {
            for (const row of this.manager.element.querySelectorAll('[data-drop]')) row.removeAttribute('data-drop');
        };
        this.manager.element.addEventListener('dragleave', clear);
        this.manager.element.addEventListener('dragend', () => {
            clear();
            dragged = [];
        });
        this.manager.element.addEventListener('drop', (event) => {
            const place = dropPlace(event);
            clear();
            if (!place || dragged.length === 0) return;
            event.preventDefault();
            const {store} = this.manager;
            const target = store.idAt(place.index);
            const parent = store.parentIndex[place.index];
            const parentId = parent < 0 ? 0 : store.idAt(parent);
            for (const id of dragged) {
                if (id === target) continue;
                if (place.where === 'inside') this.sendMove({id, parent: target});
                else if (place.where === 'before') this.sendMove({id, parent: parentId, before: target});
                else this.sendMove(this.placeAfter(id, place.index));
            }
            dragged = [];
        });
    }
}
