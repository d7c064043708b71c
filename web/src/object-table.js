// The whole state as GET /api/state sends it (docs/studio.md, "The whole state"): a JSON header
// with the state's members, then the object table as typed arrays, which are read where they lie
// in the answer's bytes:
//
//   "VST1"  u32 L  L bytes of JSON  zeros up to a multiple of 8  the columns
//
// The header's `objects` is {count, types, modes, flags, columns}; each column is {name, type,
// offset, length} with its type one of u8, u16, u32, i32, f64 and its offset from the first
// column.

/** @typedef {import('./protocol.js').State} State */
/** @typedef {import('./protocol.js').StudioObject} StudioObject */
/** @typedef {Uint8Array | Uint16Array | Uint32Array | Int32Array | Float64Array} Column */

/**
 * The objects of a whole state, column by column, in the object manager's order.
 * @typedef {object} ObjectTable
 * @property {number} count
 * @property {Uint32Array | Float64Array} id
 * @property {Int32Array} parent  the parent's index; -1 at the top level
 * @property {Uint16Array | Uint32Array} type  an index into `types`
 * @property {string[]} types
 * @property {string[]} modes  a mode column's number names its entry here
 * @property {string[]} flags  flag k is bit k of `flagBits`
 * @property {Record<string, Uint8Array>} modeColumns  one per mode state (editor, render)
 * @property {Uint8Array} flagBits
 * @property {Uint32Array | Float64Array} link  0 for none
 * @property {Uint32Array | Float64Array} mesh  0 for none
 * @property {Uint8Array} transformKind  0 identity, 1 offset only (3 values), 2 axes and offset (12)
 * @property {Float64Array} transform  the values of every object's transform, in order
 * @property {Uint8Array} nameBytes  UTF-8
 * @property {Uint32Array} nameStart  where each name begins, and the end after the last
 */

import {OBJECT_FIELDS} from './protocol.js';

const MAGIC = 'VST1';
// The states sent as a mode column each, under their own names.
const MODE_FIELDS = Object.keys(OBJECT_FIELDS).filter(
    (name) => OBJECT_FIELDS[/** @type {keyof OBJECT_FIELDS} */ (name)].kind === 'mode',
);
const ALIGNMENT = 8;
const TYPES = {u8: Uint8Array, u16: Uint16Array, u32: Uint32Array, i32: Int32Array, f64: Float64Array};
export const TRANSFORM_VALUES = [0, 3, 12];

/**
 * Reads the whole state from the bytes of the answer.
 * @param {ArrayBuffer} buffer
 * @returns {State}
 */
export function decodeState(buffer) {
    const head = new DataView(buffer);
    const magic = String.fromCharCode(...new Uint8Array(buffer, 0, Math.min(4, buffer.byteLength)));
    if (magic !== MAGIC || buffer.byteLength < 8) throw new Error('The studio did not send a whole state.');
    const headerLength = head.getUint32(4, true);
    const header = JSON.parse(new TextDecoder().decode(new Uint8Array(buffer, 8, headerLength)));
    const dataStart = Math.ceil((8 + headerLength) / ALIGNMENT) * ALIGNMENT;
    const {count, types, modes, flags, columns} = header.objects;
    /** @type {Record<string, Column>} */
    const read = {};
    for (const {name, type, offset, length} of columns) {
        const Type = TYPES[/** @type {keyof TYPES} */ (type)];
        read[name] = new Type(buffer, dataStart + offset, length);
    }
    /** @type {Record<string, Uint8Array>} */
    const modeColumns = {};
    for (const name of MODE_FIELDS) modeColumns[name] = /** @type {Uint8Array} */ (read[name]);
    /** @type {ObjectTable} */
    const table = {
        count,
        id: /** @type {Uint32Array} */ (read.id),
        parent: /** @type {Int32Array} */ (read.parent),
        type: /** @type {Uint16Array} */ (read.type),
        types,
        modes,
        flags,
        modeColumns,
        flagBits: /** @type {Uint8Array} */ (read.flags),
        link: /** @type {Uint32Array} */ (read.link),
        mesh: /** @type {Uint32Array} */ (read.mesh),
        transformKind: /** @type {Uint8Array} */ (read.transformKind),
        transform: /** @type {Float64Array} */ (read.transform),
        nameBytes: /** @type {Uint8Array} */ (read.name),
        nameStart: /** @type {Uint32Array} */ (read['name.start']),
    };
    return {...header, objects: table};
}

/**
 * The table of a list of objects, each as objectAt answers it: how the page's own checks make a
 * state without a host.
 * @param {StudioObject[]} objects
 * @returns {ObjectTable}
 */
export function tableOf(objects) {
    const count = objects.length;
    const modes = ['on', 'off', 'default'];
    const flags = ['enabled', 'selected', 'isolated'];
    /** @type {string[]} */
    const types = [];
    const indexById = new Map(objects.map((object, i) => [object.id, i]));
    const encoder = new TextEncoder();
    const names = objects.map((object) => encoder.encode(object.name));
    const nameStart = new Uint32Array(count + 1);
    names.forEach((name, i) => (nameStart[i + 1] = nameStart[i] + name.length));
    const nameBytes = new Uint8Array(nameStart[count]);
    names.forEach((name, i) => nameBytes.set(name, nameStart[i]));
    /** @type {number[]} */
    const transform = [];
    const table = {
        count,
        id: Float64Array.from(objects, (object) => object.id),
        parent: Int32Array.from(objects, (object) => (object.parent ? (indexById.get(object.parent) ?? -1) : -1)),
        type: Uint32Array.from(objects, (object) => {
            if (!types.includes(object.type)) types.push(object.type);
            return types.indexOf(object.type);
        }),
        types,
        modes,
        flags,
        modeColumns: Object.fromEntries(
            MODE_FIELDS.map((name) => [
                name,
                Uint8Array.from(objects, (object) => modes.indexOf(object[/** @type {'editor'} */ (name)])),
            ]),
        ),
        flagBits: Uint8Array.from(objects, (object) =>
            flags.reduce((bits, flag, bit) => bits | (object[/** @type {'enabled'} */ (flag)] ? 1 << bit : 0), 0),
        ),
        link: Float64Array.from(objects, (object) => object.link ?? 0),
        mesh: Float64Array.from(objects, (object) => object.mesh ?? 0),
        transformKind: Uint8Array.from(objects, (object) => {
            const m = object.transform;
            if (!m) return 0;
            transform.push(m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10], m[12], m[13], m[14]);
            return 2;
        }),
        transform: new Float64Array(0),
        nameBytes,
        nameStart,
    };
    table.transform = Float64Array.from(transform);
    return table;
}
