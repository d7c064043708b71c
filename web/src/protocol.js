// The messages between the host and the page (docs/studio.md, "The protocol"), written once: the
// state, the change events, and the body and answer of every request. The store and the actions
// take their types from here.
//
// OBJECT_FIELDS is the one list of an object's members in the page: the object's type, the type
// of a change event's entries and the members the store writes from an event are all made from
// it, so a new state of an object is one line here (and its drawing in the views that show it).

/** @typedef {'default' | 'on' | 'off'} Mode  an editor or render visibility */
/** @typedef {'replace' | 'add' | 'toggle'} SelectionMode */

// Each member's kind: `changes` when a change event may carry it (the others change only with
// the tree, which comes as a `reload`), `optional` when the host leaves it out for the default.
export const OBJECT_FIELDS = /** @type {const} */ ({
    id: {kind: 'id'},
    parent: {kind: 'id'}, // 0 at the top level
    name: {kind: 'text', changes: true},
    type: {kind: 'text'},
    editor: {kind: 'mode', changes: true},
    render: {kind: 'mode', changes: true},
    enabled: {kind: 'flag', changes: true},
    selected: {kind: 'flag', changes: true},
    isolated: {kind: 'flag', changes: true}, // the object carries an isolation record
    link: {kind: 'id', optional: true}, // the object an instance refers to
    mesh: {kind: 'id', optional: true}, // for GET /api/mesh/ID
    transform: {kind: 'matrix', changes: true, optional: true}, // local, column-major 4×4; identity when left out
});

/** @typedef {{id: number, text: string, mode: Mode, flag: boolean, matrix: number[]}} FieldKinds */
/** @typedef {typeof OBJECT_FIELDS} Fields */
/** @typedef {{[K in keyof Fields as Fields[K] extends {optional: true} ? never : K]: FieldKinds[Fields[K]['kind']]}} RequiredMembers */
/** @typedef {{[K in keyof Fields as Fields[K] extends {optional: true} ? K : never]?: FieldKinds[Fields[K]['kind']]}} OptionalMembers */
/** @typedef {RequiredMembers & OptionalMembers} StudioObject  an object of the tree */
/** @typedef {{[K in keyof Fields as Fields[K] extends {changes: true} ? K : never]?: FieldKinds[Fields[K]['kind']]}} ChangedMembers */
/** @typedef {keyof ChangedMembers} ChangingField */

/** The members a change event may carry for an object. */
export const CHANGING_FIELDS = new Set(
    /** @type {ChangingField[]} */ (Object.keys(OBJECT_FIELDS).filter((name) => 'changes' in OBJECT_FIELDS[name])),
);

/** @typedef {{name: string, path: string, changed: boolean}} StudioDocument */
/** @typedef {{name: string, pressed: boolean, enabled: boolean, icon: string}} VelaButton */
/**
 * An open document, as a tab shows it; `serial` names it in requests.
 * @typedef {{serial: number, name: string, path: string, changed: boolean, active: boolean}} OpenDocument
 */
/**
 * The active document's takes: the main take first; `current` indexes `names` (-1: the document
 * has no takes, as documents of some old scene files, and a press there does nothing).
 * @typedef {{names: string[], current: number}} Takes
 */
/** @typedef {{text: string, file?: string, line?: number}} ConsoleLine */
/** @typedef {{undo: string | null, redo: string | null}} EditHistory  the steps an undo and a redo would take, by name */

/**
 * A gadget of a dialog's layout; members that do not apply are left out.
 * @typedef {object} Gadget
 * @property {'group' | 'static' | 'edit' | 'buttons' | string} kind
 * @property {number} [id]
 * @property {string} [text]
 * @property {number} [columns]
 * @property {string[]} [buttons]
 * @property {Gadget[]} [children]
 */

/** @typedef {{kind: 'dialog', title?: string, layout?: Gadget} | {kind: 'message', text: string}} ModuleWindow */
/** @typedef {{kind: 'file', name: string, url: string} | {kind: 'web', url: string}} OpenedEntry */

/**
 * The answer to GET /api/state.
 * @typedef {object} State
 * @property {number} version
 * @property {StudioDocument} document
 * @property {VelaButton} button
 * @property {import('./object-table.js').ObjectTable} objects  in the object manager's order,
 *     parents before children, as typed arrays (object-table.js)
 * @property {ConsoleLine[]} console
 * @property {ModuleWindow | null} window
 * @property {OpenedEntry[]} opened
 * @property {EditHistory} history  the active document's
 * @property {OpenDocument[]} documents  in the host's order
 * @property {Takes} takes
 */

/**
 * One entry of a change event's `objects`: one object (`id`) or several (`ids`, whose items are
 * an id or [FIRST, LAST] for every id between), with the members they changed.
 * @typedef {ChangedMembers & {id?: number, ids?: (number | [number, number])[]}} ObjectDelta
 */

/**
 * A `change` event: only what changed; `console` holds the new lines, the other members are
 * whole.
 * @typedef {object} Change
 * @property {number} version
 * @property {ObjectDelta[]} [objects]
 * @property {Partial<StudioDocument>} [document]
 * @property {Partial<VelaButton>} [button]
 * @property {ConsoleLine[]} [console]
 * @property {ModuleWindow | null} [window]
 * @property {OpenedEntry[]} [opened]
 * @property {EditHistory} [history]
 * @property {OpenDocument[]} [documents]
 * @property {Takes} [takes]
 */

/**
 * The long work the host is busy with, as the `progress` event and the hello carry it.
 * @typedef {object} Progress
 * @property {string} stage  what it does, e.g. "Reading town.gltf"
 * @property {'objects' | 'bytes'} unit
 * @property {number} done
 * @property {number} total  0 while not known
 */

/** @typedef {{version: number, progress?: Progress | null}} Hello  the first event of the stream */

/**
 * @typedef {object} MeshPart
 * @property {string} name
 * @property {number[]} color  the base colour, r g b a
 * @property {number[]} positions
 * @property {number[]} normals
 * @property {number[]} indices
 * @property {number[]} [uvs]  u v per position, or none
 * @property {number[]} [colors]  r g b a per position, or none
 * @property {string | null} [texture]  the address of its base-colour texture's image
 */
/**
 * @typedef {object} Look  the answer to GET /api/look/ID: a camera's lens or a light's colour
 * @property {{fov: number, aspect: number, near: number, far: number}} [camera]
 * @property {{kind: string, color: number[], intensity: number, cone: number}} [light]
 */
/** @typedef {{parts: MeshPart[]}} Mesh  the answer to GET /api/mesh/ID */

/**
 * @typedef {object} Parameter  a parameter of the preferences page
 * @property {number} id
 * @property {string} name
 * @property {'bool' | 'button' | 'bitmapbutton' | string} kind
 * @property {string} [label]
 * @property {boolean | number | string} [value]
 * @property {{url: string, width: number, height: number}} [picture]
 */
/** @typedef {{title: string, parameters: Parameter[]}} PreferencesPage  the answer to GET /api/preferences */

// Request bodies.
/** @typedef {{ids: number[], mode: SelectionMode, children?: boolean}} SelectRequest */
/** @typedef {{id: number, editor?: Mode, render?: Mode, enabled?: boolean}} ObjectRequest */
/** @typedef {{shift: boolean, ctrl: boolean, alt: boolean}} Modifiers */
/** @typedef {Modifiers & {key: string}} KeyStroke */
/** @typedef {{id: number, value: boolean | number | string}} PreferenceRequest */
/** @typedef {{action: 'type', text: string} | {action: 'ok' | 'cancel' | 'close'}} WindowRequest */
/** @typedef {({path: string} | {drop: number, name: string}) & {discardChanges?: boolean}} OpenRequest */
/** @typedef {{path?: string}} SaveRequest */
// Edits of objects (their answers: StepAnswer).
/** @typedef {[number, number, number]} Triple */
/** @typedef {{position: Triple, rotation: Triple, scale: Triple}} TransformValues  rotation in degrees, XYZ order */
/** @typedef {TransformValues & {id: number, continues?: boolean}} TransformRequest */
/** @typedef {'null' | 'cube' | 'sphere' | 'cylinder' | 'cone' | 'plane' | 'light' | 'camera' | 'instance'} CreatableType */
/** @typedef {{type: CreatableType, parent?: number, after?: number, link?: number}} CreateRequest */
/** @typedef {{id: number, parent: number, before?: number}} MoveRequest  `before`: the sibling it goes before; none: last */
/** @typedef {{parent?: number, after?: number, document?: number}} PasteRequest */
/** @typedef {{document: number, discardChanges?: boolean}} CloseRequest */

// Answers: every action answers the version it left, and what it reports.
/** @typedef {{version: number}} Answer */
/**
 * `result`: what the command answered; `console`: the lines it wrote to the console meanwhile.
 * @typedef {Answer & {result?: unknown, console?: ConsoleLine[]}} PressAnswer
 */
/** @typedef {Answer & {document: number}} DocumentAnswer  `document`: the active one's serial */
/** @typedef {Answer & {ran: string | null}} KeyAnswer  `ran`: the command the shortcut ran, if any */
/** @typedef {Answer & {drop: number, name: string}} UploadAnswer */
/** @typedef {Answer & {step?: string | null, ids?: number[]}} StepAnswer  `step`: the history's step it did or took back; `ids`: the objects made */
/** @typedef {{error: string, unsaved?: string}} Refusal  the body of an error's answer */
