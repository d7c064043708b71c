// A popup menu (role=menu) opened from a menu button or as a context menu. While it is open the
// focus is on one of its items: ↑ ↓ Home End move, Enter and Space choose, Esc and Tab close.
// A pointer press outside it, or the focus leaving it, closes it too. On closing, the focus goes
// back to the element that had it when the menu opened, before the chosen item's action runs.

/**
 * @param {Element | null} element
 * @returns {element is Element}
 */
const isMenuButton = (element) => element instanceof Element && element.getAttribute('aria-haspopup') === 'menu';

/**
 * @template C  what the items act on
 * @typedef {{label: string, run: (context: C) => void}} MenuItem
 */

/** @template C */
export class Menu {
    /**
     * @param {HTMLElement} element
     * @param {MenuItem<C>[]} items  each is run with the context open() was given
     */
    constructor(element, items) {
        this.element = element;
        /** @type {Element | null} */
        this.opener = null;
        /** @type {C | null} */
        this.context = null;
        this.element.setAttribute('role', 'menu');
        this.element.hidden = true;
        this.items = items.map((item) => this.makeItem(item));
        element.addEventListener('keydown', (event) => this.onKey(event));
        element.addEventListener('contextmenu', (event) => event.preventDefault());
        element.addEventListener('focusout', (event) => {
            if (!this.holds(event.relatedTarget)) this.close({restoreFocus: false});
        });
        document.addEventListener(
            'pointerdown',
            (event) => {
                if (this.isOpen && !this.holds(event.target)) this.close({restoreFocus: false});
            },
            true,
        );
    }

    // Whether a node is part of the open menu: its items, or the menu button that opened it (whose
    // own click closes it again, so a press on it must not close and reopen it).
    /** @param {EventTarget | null} node */
    holds(node) {
        if (!(node instanceof Node)) return false;
        return (
            this.element.contains(node) ||
            (this.opener !== null && isMenuButton(this.opener) && this.opener.contains(node))
        );
    }

    get isOpen() {
        return !this.element.hidden;
    }

    /**
     * @param {MenuItem<C>} item
     * @returns {HTMLElement}
     */
    makeItem({label, run}) {
        const item = document.createElement('div');
        item.setAttribute('role', 'menuitem');
        item.tabIndex = -1;
        item.className = 'menu-item';
        item.textContent = label;
        item.addEventListener('click', () => this.choose(run));
        this.element.append(item);
        return item;
    }

    /**
     * Opens the menu at the viewport position {x, y} and focuses the item `first` (an index; -1
     * is the last item).
     * @param {{x: number, y: number}} at
     * @param {C} context
     * @param {{opener?: Element | null, first?: number}} [options]  `opener` gets the focus back
     */
    open({x, y}, context, {opener = document.activeElement, first = 0} = {}) {
        this.opener = opener;
        this.context = context;
        this.element.hidden = false;
        const {width, height} = this.element.getBoundingClientRect();
        this.element.style.left = `${Math.max(0, Math.min(x, window.innerWidth - width))}px`;
        this.element.style.top = `${Math.max(0, Math.min(y, window.innerHeight - height))}px`;
        if (isMenuButton(opener)) opener.setAttribute('aria-expanded', 'true');
        this.focusItem(first < 0 ? this.items.length - 1 : first);
    }

    /** @param {{restoreFocus?: boolean}} [options] */
    close({restoreFocus = true} = {}) {
        if (!this.isOpen) return;
        this.element.hidden = true;
        const opener = this.opener;
        this.opener = null;
        if (isMenuButton(opener)) opener.setAttribute('aria-expanded', 'false');
        if (restoreFocus && opener instanceof HTMLElement) opener.focus({preventScroll: true});
    }

    /** @param {MenuItem<C>['run']} run */
    choose(run) {
        const context = /** @type {C} */ (this.context);
        this.close();
        run(context);
    }

    /** @param {number} position */
    focusItem(position) {
        const count = this.items.length;
        this.items[((position % count) + count) % count].focus();
    }

    /** @param {KeyboardEvent} event */
    onKey(event) {
        const position = this.items.indexOf(/** @type {HTMLElement} */ (document.activeElement));
        switch (event.key) {
            case 'ArrowDown':
                this.focusItem(position + 1);
                break;
            case 'ArrowUp':
                this.focusItem(position - 1);
                break;
            case 'Home':
                this.focusItem(0);
                break;
            case 'End':
                this.focusItem(-1);
                break;
            case 'Enter':
            case ' ':
                if (position >= 0) this.items[position].click();
                break;
            case 'Escape':
            case 'Tab':
                this.close();
                break;
            default:
                return;
        }
        event.preventDefault();
        event.stopPropagation();
    }
}
