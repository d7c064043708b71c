// The drawn objects as points, standing in for the shapes while a software renderer could not
// draw them in time (see viewport.js): at most MOVING_POINTS points (point-grid.js), in the
// selection's colour where a selected object is. It is shown only while frames of that many
// shapes are slow: the view times each frame of more than MOVING_LIMIT shapes, and a browser that
// draws them within FRAME_BUDGET_MS keeps the shapes throughout.

import * as THREE from 'three';
import {gridPoints} from './point-grid.js';
import {SELECTED} from './scene-batches.js';

export const MOVING_LIMIT = 20000;
const MOVING_POINTS = 20000;
const SETTLE_MS = 200;
const FRAME_BUDGET_MS = 33;
const SHAPES_AFTER_MS = 50; // from the frame of points of a large change to the shapes
const POINT_COLOUR = new THREE.Color(0xb0bec5);

/** @typedef {import('./scene-batches.js').SceneBatches} SceneBatches */

export class PointsStandIn {
    /**
     * @param {THREE.Scene} scene
     * @param {SceneBatches} batches
     * @param {() => void} requestRender
     */
    constructor(scene, batches, requestRender) {
        this.batches = batches;
        this.requestRender = requestRender;
        const material = new THREE.PointsMaterial({size: 2, sizeAttenuation: false, vertexColors: true});
        this.points = new THREE.Points(new THREE.BufferGeometry(), material);
        this.points.frustumCulled = false;
        this.points.visible = false;
        scene.add(this.points);
        this.moving = false; // the points are shown
        this.dragging = false; // the camera is being dragged
        /** @type {number | undefined} */
        this.cellSize = undefined; // the grid's last, where the next search starts
        this.filledFor = ''; // the batches' contents the points were made from (contentsKey)
        /** @type {number | undefined} */
        this.msPerShape = undefined; // the last large frame of shapes timed, per shape
        /** @type {ReturnType<typeof setTimeout> | undefined} */
        this.settleTimer = undefined;
    }

    get shown() {
        return this.points.visible;
    }

    /** Another state was loaded: the grid's size is searched for anew. */
    reset() {
        this.cellSize = undefined;
        this.filledFor = '';
    }

    /**
     * Whether a frame of `shapes` shapes would miss the frame budget: more than MOVING_LIMIT of
     * them, and no frame timed yet, or the last large one drawn slower than the budget allows.
     * @param {number} shapes
     */
    slowToDraw(shapes) {
        return shapes > MOVING_LIMIT && !(/** @type {number} */ (this.msPerShape) * shapes <= FRAME_BUDGET_MS);
    }

    /** Times the frame of shapes being drawn when it is large: see slowToDraw. */
    timeShapesFrame() {
        const shapes = this.batches.drawnCount();
        if (shapes <= MOVING_LIMIT) return;
        const started = performance.now();
        requestAnimationFrame(() => {
            this.msPerShape = (performance.now() - started) / shapes;
        });
    }

    /**
     * While moving: the drawn objects as points, when there are many; the shapes otherwise.
     * @param {boolean} moving
     */
    setMoving(moving) {
        clearTimeout(this.settleTimer);
        const usePoints = moving && this.slowToDraw(this.batches.drawnCount());
        if (usePoints && !this.moving) this.fill();
        this.moving = usePoints;
        this.points.visible = usePoints;
        this.batches.setVisible(!usePoints);
        this.requestRender();
    }

    /** The camera was grabbed. */
    dragStarted() {
        this.dragging = true;
        this.setMoving(true);
    }

    /** The camera was let go: the shapes come back once it has stayed still for SETTLE_MS. */
    dragEnded() {
        this.dragging = false;
        clearTimeout(this.settleTimer);
        this.settleTimer = setTimeout(() => this.setMoving(false), SETTLE_MS);
    }

    /**
     * After the batches were refilled: the points follow the change while shown, and a change
     * that brought more than MOVING_LIMIT objects into view, slow to draw, is shown as points
     * first.
     * @param {number} drawnBefore  the instances drawn before the change
     */
    changed(drawnBefore) {
        if (this.moving) this.fill();
        const drawnNow = this.batches.drawnCount();
        if (drawnNow - drawnBefore > MOVING_LIMIT && this.slowToDraw(drawnNow) && !this.dragging) this.showFirst();
    }

    // Draws the next frame as points and a later one with the shapes. The shapes are asked for
    // from an animation frame callback that runs after the one drawing the points (callbacks of
    // one frame run in the order they were asked for), SHAPES_AFTER_MS later: the frame of shapes
    // may hold the page's main thread for seconds under a software renderer, and what waits for
    // it (a click, an event, a timer) runs first. A drag that begins meanwhile drops it.
    showFirst() {
        this.setMoving(true); // which also drops a pending settle of the camera
        requestAnimationFrame(() => {
            clearTimeout(this.settleTimer);
            this.settleTimer = setTimeout(() => {
                if (!this.dragging) this.setMoving(false);
            }, SHAPES_AFTER_MS);
        });
    }

    // This runs before the first frame of a large change is drawn. A restore that brings back
    // what the points were made from finds them made.
    fill() {
        const contents = this.batches.contentsKey();
        if (contents === this.filledFor) return;
        this.filledFor = contents;
        const places = this.batches.drawnPlaces();
        const chosen = gridPoints(places.positions, places.selected, MOVING_POINTS, this.cellSize);
        this.cellSize = chosen.cellSize;
        const positions = new Float32Array(chosen.count * 3);
        const colours = new Float32Array(chosen.count * 3);
        for (let k = 0; k < chosen.count; k++) {
            const from = chosen.first[k] * 3;
            for (let axis = 0; axis < 3; axis++) positions[k * 3 + axis] = places.positions[from + axis];
            (chosen.selected[k] ? SELECTED : POINT_COLOUR).toArray(colours, k * 3);
        }
        const geometry = new THREE.BufferGeometry();
        geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
        geometry.setAttribute('color', new THREE.BufferAttribute(colours, 3));
        this.points.geometry.dispose();
        this.points.geometry = geometry;
    }
}
