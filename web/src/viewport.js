// The 3D viewport. Objects are grouped into batches by what they are drawn as (one mesh of the
// scene, or one primitive or marker shape); each batch is one InstancedMesh per part, so 10^5
// objects are a few draw calls. World matrices are computed once per state load (they change
// only with the tree); a change event recomputes which objects are drawn and refills the
// instance arrays of the batches, which is linear in the number of placements.
//
// A software renderer (headless browsers, machines without a GPU) needs about 8 µs for each
// drawn instance, 2 s for a frame of 10^5 objects, and about 0.6 µs for a point. So while the
// camera moves through a scene of more than MOVING_LIMIT drawn objects, the scene is drawn as at
// most MOVING_POINTS points (point-grid.js); the shapes come back when the camera has stopped
// for SETTLE_MS. A change that brings more than MOVING_LIMIT objects into view (the restore of a
// large scene) is shown the same way: its first frame draws the points, at once, and the frame
// right after it the shapes, so the new states are seen without waiting for the slow frame. Both
// happen only while frames of that many shapes are slow: the view times each frame of more than
// MOVING_LIMIT shapes (to the next animation frame, which the browser begins when the frame is
// done), and a browser that draws them within FRAME_BUDGET_MS keeps the shapes throughout.
//
// What is drawn where is a list of placements (instances.js): each object at its world place, and
// for an instance of an object with children the whole referenced subtree at the instance's
// place. A batch holds placements; a drawn placement is picked and coloured as the object of the
// tree it belongs to. Generators that take their children as input are drawn as a marker; their
// children draw themselves.

import * as THREE from 'three';
import {OrbitControls} from 'three/examples/jsm/controls/OrbitControls.js';
import {getJson, postJson} from './api.js';
import {makeShape, meshParts, shapeKey} from './shapes.js';
import {computePlacementsDrawn, computeWorld, placeObjects} from './instances.js';
import {gridPoints} from './point-grid.js';

const BACKGROUND = 0x2b2f36;
const SELECTED = new THREE.Color(1.0, 0.55, 0.15);
const UNSELECTED = new THREE.Color(1, 1, 1);
const CLICK_SLOP = 4;
const MESH_FETCHES_AT_ONCE = 4;
const MOVING_LIMIT = 20000;
const MOVING_POINTS = 20000;
const SETTLE_MS = 200;
const FRAME_BUDGET_MS = 33;
const POINT_COLOUR = new THREE.Color(0xb0bec5);

export class Viewport {
    constructor(canvas, store, {report}) {
        this.canvas = canvas;
        this.store = store;
        this.report = report;
        this.mode = 'editor';
        this.batches = new Map();
        this.meshQueue = [];
        this.meshFetching = 0;
        this.generation = 0;  // counts the states loaded, so a late geometry of an old one is dropped
        this.userMoved = false;
        this.frames = 0;
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
        this.controls = new OrbitControls(this.camera, canvas);
        this.controls.listenToKeyEvents(canvas);  // the arrows pan while the view has the focus
        this.controls.addEventListener('change', () => this.requestRender());
        this.controls.addEventListener('start', () => {
            this.userMoved = true;
            this.dragging = true;
            this.setMoving(true);
        });
        this.controls.addEventListener('end', () => {
            this.dragging = false;
            this.settleLater();
        });
        this.points = new THREE.Points(new THREE.BufferGeometry(), new THREE.PointsMaterial({size: 2, sizeAttenuation: false, vertexColors: true}));
        this.points.frustumCulled = false;
        this.points.visible = false;
        this.scene.add(this.points);
        this.moving = false;
        this.dragging = false;
        // Changes applied, and the last of them drawn at all and drawn as shapes: what a frame
        // shows, for the page's measurements.
        this.changes = 0;
        this.changesShown = 0;
        this.changesShownAsShapes = 0;
        this.msPerShape = undefined;  // the last large frame of shapes timed, per shape
        this.drawn = new Uint8Array(0);  // one entry per placement
        this.world = new Float32Array(0);
        this.placements = null;
        this.watchPointer();
        new ResizeObserver(() => this.resize()).observe(canvas);
        store.on('load', () => this.rebuild());
        store.on('change', () => this.update());
    }

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
        if (this.renderPending) return;
        this.renderPending = true;
        requestAnimationFrame(() => {
            this.renderPending = false;
            this.renderer.render(this.scene, this.camera);
            this.frames++;
            this.changesShown = this.changes;
            if (!this.points.visible) {
                this.changesShownAsShapes = this.changes;
                this.timeShapesFrame();
            }
        });
    }

    // Times this frame of shapes when it is large: see slowToDraw.
    timeShapesFrame() {
        const shapes = this.drawnCount();
        if (shapes <= MOVING_LIMIT) return;
        const started = performance.now();
        requestAnimationFrame(() => {
            this.msPerShape = (performance.now() - started) / shapes;
        });
    }

    // Whether a frame of `shapes` shapes would miss the frame budget: more than MOVING_LIMIT of them,
    // and no frame timed yet, or the last large one drawn slower than the budget allows.
    slowToDraw(shapes) {
        return shapes > MOVING_LIMIT && !(this.msPerShape * shapes <= FRAME_BUDGET_MS);
    }

    // Placement p's matrix is 16 floats at placementOffset(p) of placementMatrices(p).
    placementMatrices(p) {
        return p < this.placements.count ? this.world : this.placements.extras.matrix;
    }

    placementOffset(p) {
        const {count} = this.placements;
        return (p < count ? p : p - count) * 16;
    }

    // The object of the tree placement p belongs to: the one a click on it picks.
    ownerOf(p) {
        const {count, extras} = this.placements;
        return p < count ? p : extras.owner[p - count];
    }

    rebuild() {
        for (const batch of this.batches.values()) this.disposeBatch(batch);
        this.batches.clear();
        this.meshQueue = [];
        this.generation++;
        this.pointCellSize = undefined;
        const {objects} = this.store;
        this.world = computeWorld(this.store);
        this.placements = placeObjects(this.store, this.world);
        const {count, source, extras} = this.placements;
        const groups = new Map();
        const group = (placement, drawnAs) => {
            if (drawnAs < 0) return;
            const object = objects[drawnAs];
            const key = object.mesh !== undefined ? `mesh:${object.mesh}` : shapeKey(object.type);
            if (!groups.has(key)) groups.set(key, []);
            groups.get(key).push(placement);
        };
        for (let i = 0; i < count; i++) group(i, source[i]);
        for (let x = 0; x < extras.count; x++) group(count + x, extras.source[x]);
        for (const [key, members] of groups) {
            const batch = {key, members: Int32Array.from(members), meshes: [], shown: new Int32Array(members.length)};
            this.batches.set(key, batch);
            if (key.startsWith('mesh:')) this.loadMesh(batch, Number(key.slice(5)));
            else this.fillBatch(batch, [makeShape(key)]);
        }
        this.drawn = new Uint8Array(count + extras.count);
        this.update();
        this.frameScene();
    }

    fillBatch(batch, parts) {
        for (const {geometry, material} of parts) {
            const mesh = new THREE.InstancedMesh(geometry, material, batch.members.length);
            mesh.instanceMatrix.setUsage(THREE.DynamicDrawUsage);
            mesh.setColorAt(0, UNSELECTED);
            mesh.frustumCulled = false;
            mesh.userData.batch = batch;
            batch.meshes.push(mesh);
            this.scene.add(mesh);
        }
    }

    loadMesh(batch, meshId) {
        this.meshQueue.push({batch, meshId, generation: this.generation});
        this.pumpMeshes();
    }

    // Geometries are fetched a few at a time and drawn when the last has come: in a software
    // renderer a frame of a large scene costs more than all the fetches, and a frame drawn between
    // two rounds of fetches delays the second round by that much. The view is then framed again
    // unless the person has moved the camera meanwhile.
    pumpMeshes() {
        while (this.meshFetching < MESH_FETCHES_AT_ONCE && this.meshQueue.length > 0) {
            const {batch, meshId, generation} = this.meshQueue.shift();
            this.meshFetching++;
            getJson(`/api/mesh/${meshId}`)
                .then((answer) => {
                    if (generation !== this.generation) return;  // another state was loaded meanwhile
                    this.fillBatch(batch, meshParts(answer));
                    this.refill(batch);
                    if (this.meshQueue.length === 0 && this.meshFetching === 1) this.requestRender();
                })
                .catch((error) => this.report(error))
                .finally(() => {
                    this.meshFetching--;
                    this.pumpMeshes();
                    if (this.meshFetching === 0 && this.meshQueue.length === 0 && !this.userMoved) this.frameScene();
                });
        }
    }

    disposeBatch(batch) {
        for (const mesh of batch.meshes) {
            this.scene.remove(mesh);
            mesh.geometry.dispose();
            mesh.material.dispose();
            mesh.dispose();
        }
    }

    update() {
        if (this.placements?.count !== this.store.objects.length) return;
        const drawnBefore = this.drawnCount();
        computePlacementsDrawn(this.store, this.mode, this.placements, this.drawn);
        for (const batch of this.batches.values()) this.refill(batch);
        this.changes++;
        if (this.moving) this.fillPoints();
        const drawnNow = this.drawnCount();
        if (drawnNow - drawnBefore > MOVING_LIMIT && this.slowToDraw(drawnNow) && !this.dragging) this.showPointsFirst();
        this.requestRender();
    }

    // Draws the next frame as points and the one after it with the shapes. The shapes' frame is
    // asked for from an animation frame callback that runs after the one drawing the points
    // (callbacks of one frame run in the order they were asked for), so it lands in the frame
    // that follows.
    showPointsFirst() {
        this.setMoving(true);  // which also drops a pending settle of the camera
        requestAnimationFrame(() => {
            if (!this.dragging) this.setMoving(false);
        });
    }

    // Copies the drawn members' matrices into the batch's instance arrays, coloured when the
    // object they belong to is selected; `shown[k]` is the placement of instance k, for picking.
    refill(batch) {
        const {objects} = this.store;
        let count = 0;
        for (const placement of batch.members) {
            if (!this.drawn[placement]) continue;
            batch.shown[count] = placement;
            const colour = objects[this.ownerOf(placement)].selected ? SELECTED : UNSELECTED;
            const from = this.placementMatrices(placement);
            const offset = this.placementOffset(placement);
            for (const mesh of batch.meshes) {
                const matrices = mesh.instanceMatrix.array;
                for (let e = 0; e < 16; e++) matrices[count * 16 + e] = from[offset + e];
                colour.toArray(mesh.instanceColor.array, count * 3);
            }
            count++;
        }
        for (const mesh of batch.meshes) {
            mesh.count = count;
            mesh.instanceMatrix.clearUpdateRanges();
            mesh.instanceMatrix.addUpdateRange(0, count * 16);
            mesh.instanceMatrix.needsUpdate = true;
            mesh.instanceColor.clearUpdateRanges();
            mesh.instanceColor.addUpdateRange(0, count * 3);
            mesh.instanceColor.needsUpdate = true;
            mesh.boundingSphere = null;
        }
    }

    // While moving: the drawn objects as points, when there are many; the shapes otherwise.
    setMoving(moving) {
        clearTimeout(this.settleTimer);
        const usePoints = moving && this.slowToDraw(this.drawnCount());
        if (usePoints && !this.moving) this.fillPoints();
        this.moving = usePoints;
        this.points.visible = usePoints;
        for (const batch of this.batches.values()) for (const mesh of batch.meshes) mesh.visible = !usePoints;
        this.requestRender();
    }

    settleLater() {
        clearTimeout(this.settleTimer);
        this.settleTimer = setTimeout(() => this.setMoving(false), SETTLE_MS);
    }

    // The drawn objects as at most MOVING_POINTS points (point-grid.js), in the selection's colour
    // where a selected object is. This runs before the first frame of a large change is drawn.
    fillPoints() {
        const places = this.drawnPlaces();
        const chosen = gridPoints(places.positions, places.selected, MOVING_POINTS, this.pointCellSize);
        this.pointCellSize = chosen.cellSize;
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

    drawnPlaces() {
        const {objects} = this.store;
        const count = this.drawnCount();
        const positions = new Float32Array(count * 3);
        const selected = new Uint8Array(count);
        let k = 0;
        for (const batch of this.batches.values()) {
            const shown = batch.meshes.length > 0 ? batch.meshes[0].count : 0;
            for (let j = 0; j < shown; j++, k++) {
                const placement = batch.shown[j];
                const matrices = this.placementMatrices(placement);
                const offset = this.placementOffset(placement);
                for (let axis = 0; axis < 3; axis++) positions[k * 3 + axis] = matrices[offset + 12 + axis];
                selected[k] = objects[this.ownerOf(placement)].selected ? 1 : 0;
            }
        }
        return {positions, selected};
    }

    drawnCount() {
        let count = 0;
        for (const batch of this.batches.values()) count += batch.meshes.length > 0 ? batch.meshes[0].count : 0;
        return count;
    }

    watchPointer() {
        let start = null;
        this.canvas.addEventListener('pointerdown', (event) => {
            start = {x: event.clientX, y: event.clientY};
        });
        this.canvas.addEventListener('pointerup', (event) => {
            if (!start || Math.hypot(event.clientX - start.x, event.clientY - start.y) > CLICK_SLOP) return;
            start = null;
            this.pick(event);
        });
    }

    objectAt(clientX, clientY) {
        const bounds = this.canvas.getBoundingClientRect();
        const pointer = new THREE.Vector2(((clientX - bounds.left) / bounds.width) * 2 - 1, -((clientY - bounds.top) / bounds.height) * 2 + 1);
        const raycaster = new THREE.Raycaster();
        raycaster.setFromCamera(pointer, this.camera);
        const meshes = [...this.batches.values()].flatMap((batch) => batch.meshes.filter((mesh) => mesh.count > 0));
        const [hit] = raycaster.intersectObjects(meshes, false);
        if (!hit || hit.instanceId === undefined) return null;
        return this.store.objects[this.ownerOf(hit.object.userData.batch.shown[hit.instanceId])];
    }

    async pick(event) {
        const object = this.objectAt(event.clientX, event.clientY);
        let mode = 'replace';
        if (event.shiftKey) mode = 'add';
        else if (event.ctrlKey || event.metaKey) mode = 'toggle';
        if (!object && mode !== 'replace') return;
        try {
            await postJson('/api/select', {ids: object ? [object.id] : [], mode});
            if (object) this.onPicked?.(object.id);
        } catch (error) {
            this.report(error);
        }
    }

    // The box around the placements of `which` ('drawn', 'selected': the drawn ones of selected
    // objects, or 'all', drawn or not), from each batch's geometry bounds placed by their matrices.
    boundsOf(which) {
        const box = new THREE.Box3();
        const part = new THREE.Box3();
        const matrix = new THREE.Matrix4();
        const {objects} = this.store;
        for (const batch of this.batches.values()) {
            const mesh = batch.meshes[0];
            if (!mesh) continue;
            if (!mesh.geometry.boundingBox) mesh.geometry.computeBoundingBox();
            const indexes = which === 'all' ? batch.members : batch.shown.subarray(0, mesh.count);
            for (const placement of indexes) {
                if (which === 'selected' && !objects[this.ownerOf(placement)].selected) continue;
                matrix.fromArray(this.placementMatrices(placement), this.placementOffset(placement));
                box.union(part.copy(mesh.geometry.boundingBox).applyMatrix4(matrix));
            }
        }
        return box;
    }

    frame(box) {
        if (box.isEmpty()) return false;
        const sphere = box.getBoundingSphere(new THREE.Sphere());
        const radius = Math.max(sphere.radius, 0.5);
        const distance = radius / Math.sin(THREE.MathUtils.degToRad(this.camera.fov / 2));
        const direction = this.camera.position.clone().sub(this.controls.target).normalize();
        this.controls.target.copy(sphere.center);
        this.camera.position.copy(sphere.center).addScaledVector(direction, distance);
        this.camera.near = distance / 1000;
        this.camera.far = distance * 100;
        this.camera.updateProjectionMatrix();
        this.controls.update();
        this.requestRender();
        return true;
    }

    frameAll() {
        return this.frame(this.boundsOf('drawn'));
    }

    frameSelected() {
        return this.frame(this.boundsOf('selected'));
    }

    // A state that was loaded is framed whole, whatever is hidden, so the first view of a scene
    // does not depend on its visibility.
    frameScene() {
        this.frame(this.boundsOf('all'));
    }
}
