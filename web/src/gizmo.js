// The gizmo: three.js's TransformControls on the selected object, to move (W), rotate (E) and
// scale (R) it in the viewport. The controls hold a stand-in of the object placed under its
// parent's world transform, so what they change is the object's own transform relative to its
// parent, as the host keeps it.
//
// A drag sends the stand-in's transform as it goes, at most UPDATES_PER_SECOND times a second,
// never more than two on their way (see dragMoved), and once more on release. The first update of a drag begins a step of the document's history
// and the others continue it, so a drag is one step to undo. The viewport draws the object where
// the host's change events put it, as for any other change; the gizmo's handles follow the
// pointer at once. Esc during a drag puts the object back where the drag began (the host then
// drops the step) and ends the drag. The camera's controls are off while a drag lasts.

import * as THREE from 'three';
import {TransformControls} from 'three/examples/jsm/controls/TransformControls.js';
import {IDENTITY, isTypingTarget, transformValues} from './transform-values.js';

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./viewport.js').Viewport} Viewport */
/** @typedef {import('./protocol.js').TransformValues} TransformValues */

// Above the 30 a second a drag should reach: timers and pointer events come late by a few
// milliseconds each, so a cap of exactly 30 gave 25–28.
export const UPDATES_PER_SECOND = 40;
// Transforms on their way at once: two keep the host busy while an answer comes back.
const MOST_IN_FLIGHT = 2;
const MODE_KEYS = /** @type {const} */ ({w: 'translate', e: 'rotate', r: 'scale'});

export class Gizmo {
    /**
     * @param {Viewport} viewport
     * @param {Store} store
     * @param {Actions} actions
     * @param {{report: (error: unknown) => void}} views
     */
    constructor(viewport, store, actions, {report}) {
        this.viewport = viewport;
        this.store = store;
        this.actions = actions;
        this.report = report;
        /** the object the gizmo is on; 0 for none */
        this.id = 0;
        // The stand-in's parent carries the object's parent's world transform.
        this.frame = new THREE.Group();
        this.frame.matrixAutoUpdate = false;
        this.standIn = new THREE.Object3D();
        this.frame.add(this.standIn);
        viewport.scene.add(this.frame);
        this.controls = new TransformControls(viewport.camera, viewport.canvas);
        this.controls.attach(this.standIn);
        this.controls.detach();
        viewport.scene.add(this.controls.getHelper());
        // What the drag under way has sent: how many updates, when the last went, one waiting.
        this.drag = {
            sent: 0,
            lastSent: 0,
            timer: 0,
            waiting: false,
            cancelled: false,
            start: /** @type {TransformValues | null} */ (null),
        };
        this.updatesSent = 0; // all drags', for the page's measurements
        this.inFlight = 0; // transforms sent and not yet answered
        this.controls.addEventListener('change', () => viewport.requestRender());
        this.controls.addEventListener('mouseDown', () => this.dragStarted());
        this.controls.addEventListener('objectChange', () => this.dragMoved());
        this.controls.addEventListener('mouseUp', () => this.dragEnded());
        viewport.mayPick = () => this.controls.axis === null && !this.controls.dragging;
        store.on('load', () => this.follow());
        store.on('change', ({change}) => {
            if (changesSelection(change) || (this.id !== 0 && changesObject(change, this.id))) this.follow();
        });
        document.addEventListener('keydown', (event) => this.onKey(event));
    }

    get dragging() {
        return this.controls.dragging;
    }

    // Puts the gizmo on the one selected object, where the host says it is; none when not
    // exactly one object is selected. A drag under way keeps its own picture until it ends.
    follow() {
        if (this.dragging || this.inFlight > 0) return;
        const selected = this.store.selectedIds();
        const index = selected.length === 1 ? this.store.indexOf(selected[0]) : -1;
        if (index < 0) {
            this.id = 0;
            this.controls.detach();
            this.viewport.requestRender();
            return;
        }
        this.id = selected[0];
        this.frame.matrix.copy(this.parentWorld(index));
        this.frame.matrixWorldNeedsUpdate = true;
        const local = new THREE.Matrix4().fromArray(this.store.objectAt(index).transform ?? IDENTITY);
        local.decompose(this.standIn.position, this.standIn.quaternion, this.standIn.scale);
        this.frame.updateMatrixWorld(true);
        if (this.controls.object !== this.standIn) this.controls.attach(this.standIn);
        this.viewport.requestRender();
    }

    /**
     * The world transform of the object's parent: the chain of local transforms from the top.
     * @param {number} index
     */
    parentWorld(index) {
        const world = new THREE.Matrix4();
        const local = new THREE.Matrix4();
        for (let i = this.store.parentIndex[index]; i >= 0; i = this.store.parentIndex[i]) {
            world.premultiply(local.fromArray(this.store.objectAt(i).transform ?? IDENTITY));
        }
        return world;
    }

    /** The stand-in's transform as the host takes it. */
    values() {
        return transformValues(this.standIn.position, this.standIn.quaternion, this.standIn.scale);
    }

    // A drag draws as the camera's does: as points while frames of the whole scene are slow.
    dragStarted() {
        this.viewport.controls.enabled = false;
        this.viewport.standIn.dragStarted();
        this.drag = {sent: 0, lastSent: 0, timer: 0, waiting: false, cancelled: false, start: this.values()};
    }

    // While MOST_IN_FLIGHT transforms are on their way the next waits for an answer and takes the
    // place the drag has reached by then, so a host slower than the drag is sent fewer updates
    // rather than a queue that falls further behind.
    dragMoved() {
        if (!this.dragging || this.drag.timer || this.drag.cancelled) return;
        if (this.inFlight >= MOST_IN_FLIGHT) {
            this.drag.waiting = true;
            return;
        }
        const wait = this.drag.lastSent + 1000 / UPDATES_PER_SECOND - performance.now();
        if (wait <= 0) this.send(this.values());
        else this.drag.timer = window.setTimeout(() => this.send(this.values()), wait);
    }

    dragEnded() {
        this.send(this.values());
        this.viewport.controls.enabled = true;
        this.viewport.standIn.dragEnded();
    }

    // Esc: the object goes back to where the drag began, and the drag ends.
    cancel() {
        const {start, sent} = this.drag;
        this.drag.cancelled = true; // the reset below moves the stand-in: no update of its own
        this.controls.reset();
        this.controls.dragging = false;
        this.controls.axis = null;
        window.clearTimeout(this.drag.timer);
        this.drag.timer = 0;
        // The camera stays put for the rest of the pointer's press.
        const {controls, canvas} = this.viewport;
        canvas.addEventListener('pointerup', () => (controls.enabled = true), {once: true});
        this.viewport.standIn.dragEnded();
        if (sent > 0 && start) this.send(start);
        this.follow();
    }

    /** @param {TransformValues} values */
    send(values) {
        window.clearTimeout(this.drag.timer);
        this.drag.timer = 0;
        this.drag.waiting = false;
        const continues = this.drag.sent > 0;
        this.drag.sent++;
        this.drag.lastSent = performance.now();
        this.updatesSent++;
        this.inFlight++;
        this.actions
            .transform({id: this.id, ...values, continues})
            .catch(this.report)
            .finally(() => {
                this.inFlight--;
                if (this.drag.waiting && this.dragging) {
                    this.drag.waiting = false;
                    this.dragMoved();
                }
                this.follow();
            });
    }

    /** @param {KeyboardEvent} event */
    onKey(event) {
        if (event.defaultPrevented || !this.id || isTypingTarget(event.target)) return;
        if (event.key === 'Escape' && this.dragging) {
            this.cancel();
        } else if (!event.ctrlKey && !event.altKey && !event.metaKey && !event.shiftKey) {
            const mode = MODE_KEYS[/** @type {keyof MODE_KEYS} */ (event.key.toLowerCase())];
            if (!mode || (event.target instanceof Element && event.target.closest('dialog[open]'))) return;
            this.controls.setMode(mode);
        } else {
            return;
        }
        event.preventDefault();
    }
}

/**
 * Whether a change event changes which objects are selected.
 * @param {import('./protocol.js').Change} change
 */
export function changesSelection(change) {
    return (change.objects ?? []).some((delta) => delta.selected !== undefined);
}

/**
 * Whether a change event names object `id` (or may: a run of ids is not looked into). Its
 * parents' transforms are not considered: a drag moves the object, not its parents.
 * @param {import('./protocol.js').Change} change
 * @param {number} id
 */
export function changesObject(change, id) {
    return (change.objects ?? []).some((delta) => delta.id === id || delta.ids !== undefined);
}
