// The attribute panel: the selected object's position, rotation (degrees) and scale as numbers
// to type. Enter or leaving a field sends the object's whole transform; the fields the person did
// not change send the values the host sent, not their rounded text. A value the host refuses (a
// field that is no number) is reported with the host's sentence and the fields show the object
// as it is. Shown while exactly one object is selected.

import {byId} from './dom.js';
import {changesObject, changesSelection} from './gizmo.js';
import {valuesOfMatrix} from './transform-values.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./protocol.js').TransformValues} TransformValues */

const GROUPS = /** @type {const} */ (['position', 'rotation', 'scale']);
const AXES = ['X', 'Y', 'Z'];

/** @param {number} value */
const shown = (value) => String(Number(value.toFixed(4)));

/**
 * @param {Store} store
 * @param {Actions} actions
 * @param {{report: (error: unknown) => void}} views
 */
export function setUpAttributePanel(store, actions, {report}) {
    const section = byId('attributes');
    const title = byId('attributes-object');
    const form = byId('attributes-form', HTMLFormElement);
    /** @type {HTMLInputElement[]} position x, y, z, rotation x, y, z, scale x, y, z */
    const fields = [];
    for (const group of GROUPS) {
        const row = document.createElement('div');
        row.className = 'attribute-row';
        row.setAttribute('role', 'group');
        row.setAttribute('aria-label', group[0].toUpperCase() + group.slice(1));
        const label = document.createElement('span');
        label.textContent = row.getAttribute('aria-label');
        row.append(label);
        for (const axis of AXES) {
            const field = document.createElement('input');
            field.type = 'text';
            field.inputMode = 'decimal';
            field.spellcheck = false;
            field.autocomplete = 'off';
            field.setAttribute('aria-label', `${row.getAttribute('aria-label')} ${axis}`);
            fields.push(field);
            row.append(field);
        }
        form.append(row);
    }

    let id = 0;
    /** @type {number[]} the values the host sent, in the fields' order */
    let values = [];
    let lastSent = '';

    function show() {
        const selected = store.selectedIds();
        const index = selected.length === 1 ? store.indexOf(selected[0]) : -1;
        section.hidden = index < 0;
        if (index < 0) {
            id = 0;
            return;
        }
        const object = store.objectAt(index);
        const fresh = object.id !== id;
        id = object.id;
        title.textContent = object.name;
        const {position, rotation, scale} = valuesOfMatrix(object.transform);
        values = [...position, ...rotation, ...scale];
        lastSent = '';
        fields.forEach((field, k) => {
            if (fresh || !field.matches(':focus')) field.value = shown(values[k]);
            field.dataset.shown = shown(values[k]);
        });
    }

    // A field whose text is still what it showed sends the host's value; the others what was
    // typed, which JSON sends as null when it is no number, for the host to refuse.
    function send() {
        if (!id) return;
        const numbers = fields.map((field, k) =>
            field.value.trim() === field.dataset.shown ? values[k] : Number(field.value.trim() || NaN),
        );
        if (numbers.every((value, k) => value === values[k])) return;
        const request = JSON.stringify(numbers);
        if (request === lastSent) return; // Enter sent it, and the field is left before the host's answer
        lastSent = request;
        /** @type {(from: number) => [number, number, number]} */
        const triple = (from) => [numbers[from], numbers[from + 1], numbers[from + 2]];
        actions.transform({id, position: triple(0), rotation: triple(3), scale: triple(6)}).catch((error) => {
            report(error);
            for (const field of fields) field.value = field.dataset.shown ?? '';
        });
    }

    form.addEventListener('submit', (event) => event.preventDefault());
    for (const field of fields) {
        field.addEventListener('change', send);
        field.addEventListener('keydown', (event) => {
            if (event.key === 'Enter') send();
        });
    }
    store.on('load', show);
    store.on('change', ({change}) => {
        if (changesSelection(change) || (id !== 0 && changesObject(change, id))) show();
    });
}
