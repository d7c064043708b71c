// The page's elements, found by id as index.html names them.

/**
 * The element with this id, checked to be of `type` (HTMLElement when not given). A missing or
 * different element is a fault of the page, thrown at once rather than met later as undefined.
 * @template {HTMLElement} T
 * @param {string} id
 * @param {new () => T} [type]
 * @returns {T}
 */
export function byId(id, type) {
    const element = document.getElementById(id);
    const wanted = type ?? HTMLElement;
    if (!(element instanceof wanted)) throw new Error(`The page has no ${wanted.name} #${id}`);
    return /** @type {T} */ (element);
}

/**
 * Focuses the first element within `container` that `selector` matches; answers whether there
 * was one.
 * @param {ParentNode} container
 * @param {string} selector
 */
export function focusWithin(container, selector) {
    const element = container.querySelector(selector);
    if (!(element instanceof HTMLElement)) return false;
    element.focus();
    return true;
}
