// The 3D viewport: the renderer, the camera and its controls, and the parts it draws with:
// scene-batches.js (the objects as instanced batches, one per shape or mesh), mesh-loader.js
// (the meshes' geometries), looks.js (cameras and lights as what they are), points-stand-in.js,
// picking.js and framing.js.
//
// A software renderer (headless browsers, machines without a GPU) needs about 8 µs for each
// drawn instance, 2 s for a frame of 10^5 objects, and about 0.6 µs for a point. So while the
// camera moves through a scene of more than MOVING_LIMIT drawn objects, the scene is drawn as
// points (points-stand-in.js); the shapes come back when the camera has stopped. A change that
// brings more than MOVING_LIMIT objects into view (the restore of a large scene) is shown the
// same way: its first frame draws the points, at once, and a frame 50 ms later the shapes, so the
// new states are seen without waiting for the slow frame. Both happen only while frames of that
// many shapes are slow. A large scene being loaded is drawn only once its meshes have come, as
// such a change.
//
// Generators that take their children as input are drawn as a marker; their children draw
// themselves.

import * as THREE from 'three';
import {OrbitControls} from 'three/examples/jsm/controls/OrbitControls.js';
import {frameBox} from './framing.js';
import {LookGizmos} from './looks.js';
import {MeshLoader} from './mesh-loader.js';
import {selectionMode} from './modifiers.js';
import {firstHit, watchClicks} from './picking.js';
import {PointsStandIn} from './points-stand-in.js';
import {SceneBatches} from './scene-batches.js';

const BACKGROUND = 0x2b2f36;

/**
 * Whether a change event changes nothing but transforms of objects: what is drawn stays, only
 * where.
 * @param {import('./protocol.js').Change} change
 */
function onlyTransforms(change) {
    const members = Object.keys(change).filter((key) => key !== 'version' && key !== 'objects');
    return (
        members.length === 0 &&
        (change.objects ?? []).every((delta) =>
            Object.keys(delta).every((key) => key === 'id' || key === 'ids' || key === 'transform'),
        )
    );
}

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */

export class Viewport {
    /**
     * @param {HTMLCanvasElement} canvas
     * @param {Store} store
     * @param {Actions} actions
     * @param {object} views
     * @param {(error: unknown) => void} views.report
     * @param {(id: number) => void} views.picked  an object was clicked and selected
     */
    constructor(canvas, store, actions, {report, picked}) {
        this.canvas = canvas;
        this.store = store;
        this.actions = actions;
        this.report = report;
        this.picked = picked;
        /** @type {'editor' | 'render'} */
        this.mode = 'editor';
        this.userMoved = false;
        this.renderPending = false;
        // While a large scene's geometries are on their way, its frames wait for them (the last
        // one to come asks for one): drawn sooner, a frame would show only the shapes that need
        // none (a town's nulls, all at one place) and keep a software renderer busy when they come.
        this.awaitingGeometry = false;
        this.frames = 0;
        // Changes applied, and the last of them drawn at all and drawn as shapes: what a frame
        // shows, for the page's measurements.
        this.changes = 0;
        this.changesShown = 0;
        this.changesShownAsShapes = 0;
        /** @type {number | undefined} */
        this.firstPictureAt = undefined;
        /** @type {number | undefined} */
        this.firstShapesAt = undefined;
        this.renderer = new THREE.WebGLRenderer({canvas, antialias: false, preserveDrawingBuffer: true});
        this.renderer.setPixelRatio(1);
        this.renderer.setClearColor(BACKGROUND);
        this.scene = new THREE.Scene();
        this.camera = new THREE.PerspectiveCamera(45, 1, 0.01, 10000);
        this.camera.position.set(6, 5, 8);
        this.scene.add(new THREE.HemisphereLight(0xffffff, 0x444455, 1.2));
        const light = new THREE.DirectionalLight(0xffffff, 1.5);
        light.position.set(1, 2, 3);
        this.camera.add(light);
        this.scene.add(this.camera);
        this.meshes = new MeshLoader(actions, {
            // The scene is drawn once every geometry has come; a large one as points first, as
            // any change that brings many objects into view.
            loaded: (batch, parts, last) => {
                this.batches.fill(batch, parts);
                if (!last) return;
                this.awaitingGeometry = false;
                this.standIn.changed(0);
                this.requestRender();
            },
            // The view is framed again once every geometry has come, unless the person has moved
            // the camera meanwhile.
            idle: () => {
                this.awaitingGeometry = false;
                this.requestRender();
                const bounds = this.batches.boundsOf('all');
                this.looks.fit(bounds);
                if (!this.userMoved) this.frame(bounds);
            },
            report,
            textureLoaded: () => this.requestRender(),
        });
        this.batches = new SceneBatches(this.scene, store, (batch, meshId) => this.meshes.load(batch, meshId));
        this.standIn = new PointsStandIn(this.scene, this.batches, () => this.requestRender());
        this.looks = new LookGizmos(this.scene, store, actions, {changed: () => this.requestRender(), report});
        this.controls = this.makeControls();
        watchClicks(canvas, (event) => this.pick(event));
        new ResizeObserver(() => this.resize()).observe(canvas);
        store.on('load', () => this.rebuild());
        store.on('change', ({change}) => {
            if (!this.batches.current()) return;
            const moved = this.transformed(change);
            this.batches.moved(moved);
            if (moved.length > 0) this.looks.placeAll(this.batches.world);
            if (onlyTransforms(change) && this.batches.placeMoved(moved)) {
                this.changes++;
                this.requestRender();
            } else {
                this.update();
            }
        });
        // Asked before a click picks: false while the pointer is on a handle of the gizmo.
        this.mayPick = () => true;
    }

    makeControls() {
        const controls = new OrbitControls(this.camera, this.canvas);
        controls.listenToKeyEvents(/** @type {any} */ (this.canvas)); // the arrows pan while the view has the focus
        controls.addEventListener('change', () => this.requestRender());
        controls.addEventListener('start', () => {
            this.userMoved = true;
            this.standIn.dragStarted();
        });
        controls.addEventListener('end', () => this.standIn.dragEnded());
        return controls;
    }

    /**
     * The indexes of the objects whose transform a change event changed.
     * @param {import('./protocol.js').Change} change
     * @returns {number[]}
     */
    transformed(change) {
        /** @type {number[]} */
        const indexes = [];
        const add = (/** @type {number} */ id) => {
            const index = this.store.indexOf(id);
            if (index >= 0) indexes.push(index);
        };
        for (const delta of change.objects ?? []) {
            if (delta.transform === undefined) continue;
            if (delta.id !== undefined) add(delta.id);
            for (const item of delta.ids ?? []) {
                if (typeof item === 'number') add(item);
                else for (let id = item[0]; id <= item[1]; id++) add(id);
            }
        }
        return indexes;
    }

    /** @param {'editor' | 'render'} mode  the states the view draws by */
    setMode(mode) {
        this.mode = mode;
        this.update();
    }

    resize() {
        const width = this.canvas.clientWidth;
        const height = this.canvas.clientHeight;
        if (width === 0 || height === 0) return;
        this.renderer.setSize(width, height, false);
        this.camera.aspect = width / height;
        this.camera.updateProjectionMatrix();
        this.requestRender();
    }

    requestRender() {
        if (this.renderPending || this.awaitingGeometry) return;
        this.renderPending = true;
        requestAnimationFrame(() => {
            this.renderPending = false;
            this.renderer.render(this.scene, this.camera);
            this.frames++;
            this.changesShown = this.changes;
            // When the scene loaded last was first drawn whole, as points or as shapes, and first
            // as shapes: for the page's measurements.
            if (this.meshes.done && this.store.loads > 0) this.firstPictureAt ??= performance.now();
            if (!this.standIn.shown) {
                this.changesShownAsShapes = this.changes;
                if (this.meshes.done && this.store.loads > 0) this.firstShapesAt ??= performance.now();
                this.standIn.timeShapesFrame();
            }
        });
    }

    rebuild() {
        this.firstPictureAt = this.firstShapesAt = undefined;
        this.meshes.reset();
        this.standIn.reset();
        this.batches.rebuild();
        this.awaitingGeometry = !this.meshes.done && this.standIn.slowToDraw(this.store.count());
        this.update();
        this.looks.rebuild(this.batches.world, this.batches.drawn);
        const bounds = this.batches.boundsOf('all');
        this.looks.fit(bounds);
        this.frame(bounds);
    }

    update() {
        if (!this.batches.current()) return;
        const drawnBefore = this.batches.drawnCount();
        this.batches.update(this.mode);
        this.looks.update(this.batches.drawn);
        this.changes++;
        this.standIn.changed(drawnBefore);
        this.requestRender();
    }

    drawnCount() {
        return this.batches.drawnCount();
    }

    // A click selects what is under the pointer (Shift adds, Ctrl toggles); a click on nothing
    // deselects all.
    /** @param {PointerEvent} event */
    async pick(event) {
        if (!this.mayPick()) return;
        const hit = firstHit(this.canvas, this.camera, this.batches.drawingMeshes(), event.clientX, event.clientY);
        const index = hit ? this.batches.objectHit(hit) : -1;
        const id = index >= 0 ? this.store.idAt(index) : null;
        const mode = selectionMode(event);
        if (id === null && mode !== 'replace') return;
        try {
            await this.actions.select(id === null ? [] : [id], mode);
            if (id !== null) this.picked(id);
        } catch (error) {
            this.report(error);
        }
    }

    /** @param {THREE.Box3} box */
    frame(box) {
        if (!frameBox(this.camera, this.controls, box)) return false;
        this.requestRender();
        return true;
    }

    frameAll() {
        return this.frame(this.batches.boundsOf('drawn'));
    }

    frameSelected() {
        return this.frame(this.batches.boundsOf('selected'));
    }

    // A state that was loaded is framed whole, whatever is hidden, so the first view of a scene
    // does not depend on its visibility.
    frameScene() {
        this.frame(this.batches.boundsOf('all'));
    }
}
