// The viewport's scene as batches. Objects are grouped by what they are drawn as (one mesh of the
// scene, or one primitive or marker shape); each batch is one InstancedMesh per part, so 10^5
// objects are a few draw calls. What is drawn where is a list of placements (instances.js): each
// object at its world place, and for an instance of an object with children the whole referenced
// subtree at the instance's place. A batch holds placements; a drawn placement is picked and
// coloured as the object of the tree it belongs to.
//
// World matrices and placements are computed once per state load (they change only with the
// tree); a change recomputes which placements are drawn and refills the instance arrays, which is
// linear in the number of placements.

import * as THREE from 'three';
import {computePlacementsDrawn, computeWorld, computeWorldOf, placeObjects} from './instances.js';
import {makeShape, shapeKey} from './shapes.js';

export const SELECTED = new THREE.Color(1.0, 0.55, 0.15);
const UNSELECTED = new THREE.Color(1, 1, 1);
const MESH_KEY = 'mesh:';
const POINT_BOX = new Float64Array(6); // a geometry box of one point at the origin

// Boxes as six numbers: the smallest x, y, z, then the largest.
function emptyBox() {
    return new Float64Array([Infinity, Infinity, Infinity, -Infinity, -Infinity, -Infinity]);
}

/** @param {THREE.BufferGeometry} geometry */
function geometryBox(geometry) {
    if (!geometry.boundingBox) geometry.computeBoundingBox();
    const {min, max} = /** @type {THREE.Box3} */ (geometry.boundingBox);
    return new Float64Array([min.x, min.y, min.z, max.x, max.y, max.z]);
}

/**
 * Grows `box` by the box `shape` placed by the affine matrix at `offset` of `matrices`
 * (column-major): the placed box's centre and, along each axis, the half extents weighed by the
 * matrix's absolute values, which is exactly the box around its eight placed corners.
 * @param {Float64Array} box
 * @param {Float64Array} shape
 * @param {Float32Array} matrices
 * @param {number} offset
 */
function growByPlaced(box, shape, matrices, offset) {
    const cx = (shape[0] + shape[3]) / 2;
    const cy = (shape[1] + shape[4]) / 2;
    const cz = (shape[2] + shape[5]) / 2;
    const hx = (shape[3] - shape[0]) / 2;
    const hy = (shape[4] - shape[1]) / 2;
    const hz = (shape[5] - shape[2]) / 2;
    for (let axis = 0; axis < 3; axis++) {
        const x = matrices[offset + axis];
        const y = matrices[offset + 4 + axis];
        const z = matrices[offset + 8 + axis];
        const centre = matrices[offset + 12 + axis] + x * cx + y * cy + z * cz;
        const half = Math.abs(x) * hx + Math.abs(y) * hy + Math.abs(z) * hz;
        if (centre - half < box[axis]) box[axis] = centre - half;
        if (centre + half > box[axis + 3]) box[axis + 3] = centre + half;
    }
}

/**
 * Sends instances `low`..`high` of an instance array to the GPU at the next frame, with what
 * earlier calls since the last frame asked for (three.js merges the ranges and drops them once
 * sent).
 * @param {THREE.InstancedBufferAttribute} attribute
 * @param {number} low
 * @param {number} high
 * @param {number} size  the numbers of one instance
 */
function sendInstances(attribute, low, high, size) {
    attribute.addUpdateRange(low * size, (high - low + 1) * size);
    attribute.needsUpdate = true;
}

// An instanced mesh's bounds, made when three.js asks for them (the frame that sorts the mesh, a
// pick) and dropped by refill() when its instances change: the box around its drawn instances
// and the sphere around that box. three.js's own would place the geometry's sphere by every
// instance's matrix through objects of its own (about 0.1 s for 10^6 instances).
/** @param {THREE.InstancedMesh} mesh */
function boundInstances(mesh) {
    const box = emptyBox();
    const shape = geometryBox(mesh.geometry);
    const matrices = /** @type {Float32Array} */ (mesh.instanceMatrix.array);
    for (let k = 0; k < mesh.count; k++) growByPlaced(box, shape, matrices, k * 16);
    setBounds(mesh, box);
}

/**
 * Grows the bounds of `mesh` by its instance at `slot`, which moved; they may stay larger than
 * the instances until the next refill.
 * @param {THREE.InstancedMesh} mesh
 * @param {number} slot
 */
function growBounds(mesh, slot) {
    if (!mesh.boundingSphere) return; // made from every instance when asked for
    const box = /** @type {Float64Array} */ (mesh.userData.box);
    const matrices = /** @type {Float32Array} */ (mesh.instanceMatrix.array);
    growByPlaced(box, geometryBox(mesh.geometry), matrices, slot * 16);
    setBounds(mesh, box);
}

/**
 * @param {THREE.InstancedMesh} mesh
 * @param {Float64Array} box
 */
function setBounds(mesh, box) {
    mesh.userData.box = box;
    mesh.boundingBox = toBox3(box);
    mesh.boundingSphere = mesh.boundingBox.getBoundingSphere(new THREE.Sphere());
}

/** @param {Float64Array} box */
function toBox3(box) {
    if (box[0] > box[3]) return new THREE.Box3();
    return new THREE.Box3(new THREE.Vector3(box[0], box[1], box[2]), new THREE.Vector3(box[3], box[4], box[5]));
}

/** @typedef {import('./store.js').Store} Store */
/** @typedef {{geometry: THREE.BufferGeometry, material: THREE.Material}} Part */
/**
 * @typedef {object} Batch
 * @property {string} key  what its placements are drawn as
 * @property {Int32Array} members  its placements
 * @property {THREE.InstancedMesh[]} meshes  one per part; none until a mesh's geometry has come
 * @property {Int32Array} shown  the placement of each instance drawn, for picking; past the
 *     instances drawn, the placement whose matrix each instance last held (-1: none)
 * @property {Uint8Array} shownSelected  1 where an instance holds the selection's colour
 */
/** @typedef {'drawn' | 'selected' | 'all'} Which */

export class SceneBatches {
    /**
     * @param {THREE.Scene} scene  where the batches' meshes go
     * @param {Store} store
     * @param {(batch: Batch, meshId: number) => void} loadMesh  asked for the geometry of a batch
     *     drawn as a mesh of the scene; it calls fill() when the geometry has come
     */
    constructor(scene, store, loadMesh) {
        this.scene = scene;
        this.store = store;
        this.loadMesh = loadMesh;
        /** @type {Map<string, Batch>} */
        this.batches = new Map();
        this.world = new Float32Array(0);
        /** @type {ReturnType<typeof placeObjects> | null} */
        this.placements = null;
        this.drawn = new Uint8Array(0); // one entry per placement
        this.slotOf = new Int32Array(0);
        // The instance of its batch that last took each placement's matrix (-1: none since it
        // last moved); it still holds it while that instance's `shown` entry names the placement.
        this.heldAt = new Int32Array(0);
        this.writes = 0; // counts the refills and moves that wrote instances, for contentsKey()
        /** @type {(Batch | undefined)[]} */
        this.batchOf = [];
    }

    // Placement p's matrix is 16 floats at placementOffset(p) of placementMatrices(p).
    /** @param {number} p */
    placementMatrices(p) {
        const placements = /** @type {NonNullable<SceneBatches['placements']>} */ (this.placements);
        return p < placements.count ? this.world : placements.extras.matrix;
    }

    /** @param {number} p */
    placementOffset(p) {
        const {count} = /** @type {NonNullable<SceneBatches['placements']>} */ (this.placements);
        return (p < count ? p : p - count) * 16;
    }

    /**
     * The object of the tree placement p belongs to: the one a click on it picks.
     * @param {number} p
     */
    ownerOf(p) {
        const {count, extras} = /** @type {NonNullable<SceneBatches['placements']>} */ (this.placements);
        return p < count ? p : extras.owner[p - count];
    }

    /** Groups the placements of the state the store holds into batches, none of them drawn yet. */
    rebuild() {
        for (const batch of this.batches.values()) this.dispose(batch);
        this.batches.clear();
        const {store} = this;
        this.world = computeWorld(store);
        this.placements = placeObjects(this.store, this.world);
        const {count, source, extras} = this.placements;
        this.drawn = new Uint8Array(count + extras.count);
        // Where each drawn placement is: its instance in its batch, as the last refill left it.
        this.slotOf = new Int32Array(count + extras.count);
        this.heldAt = new Int32Array(count + extras.count).fill(-1);
        /** @type {(Batch | undefined)[]} */
        this.batchOf = new Array(count + extras.count);
        /** @type {Map<string, number[]>} */
        const groups = new Map();
        /** @type {(placement: number, drawnAs: number) => void} */
        const group = (placement, drawnAs) => {
            if (drawnAs < 0) return;
            const mesh = store.meshAt(drawnAs);
            const key = mesh ? `${MESH_KEY}${mesh}` : shapeKey(store.typeAt(drawnAs));
            const members = groups.get(key);
            if (members) members.push(placement);
            else groups.set(key, [placement]);
        };
        for (let i = 0; i < count; i++) group(i, source[i]);
        for (let x = 0; x < extras.count; x++) group(count + x, extras.source[x]);
        for (const [key, members] of groups) {
            const batch = {
                key,
                members: Int32Array.from(members),
                meshes: [],
                shown: new Int32Array(members.length).fill(-1),
                shownSelected: new Uint8Array(members.length),
            };
            this.batches.set(key, batch);
            if (key.startsWith(MESH_KEY)) this.loadMesh(batch, Number(key.slice(MESH_KEY.length)));
            else this.fill(batch, [makeShape(key)]);
        }
    }

    /**
     * Places the placements again after the objects at `indexes` were transformed: the same tree,
     * so the same placements in the same batches, at new places. Without instances that place
     * subtrees, only the world transforms of the objects' subtrees change; else every placement
     * is placed again. Call update() to draw them.
     * @param {number[]} indexes
     */
    moved(indexes) {
        if (indexes.length === 0) return;
        if (this.placements && this.placements.extras.count === 0) {
            for (const index of indexes) {
                computeWorldOf(this.store, this.world, index, this.store.subtreeEnd[index]);
                this.heldAt.fill(-1, index, this.store.subtreeEnd[index]); // their matrices changed
            }
            return;
        }
        this.world = computeWorld(this.store);
        this.placements = placeObjects(this.store, this.world);
        this.heldAt.fill(-1);
    }

    /**
     * After moved(indexes) alone (only transforms changed, so what is drawn is the same): copies
     * the new matrices of the drawn placements of those objects' subtrees into their instances.
     * Answers false when that is not enough (instances place subtrees), and update() must run.
     * @param {number[]} indexes
     */
    placeMoved(indexes) {
        if (!this.placements || this.placements.extras.count > 0) return false;
        for (const index of indexes) {
            for (let p = index; p < this.store.subtreeEnd[index]; p++) {
                const batch = this.batchOf[p];
                if (!this.drawn[p] || !batch) continue;
                const slot = this.slotOf[p];
                batch.shown[slot] = p;
                this.heldAt[p] = slot;
                this.writes++;
                for (const mesh of batch.meshes) {
                    mesh.instanceMatrix.array.set(this.world.subarray(p * 16, p * 16 + 16), slot * 16);
                    sendInstances(mesh.instanceMatrix, slot, slot, 16);
                    growBounds(mesh, slot);
                }
            }
        }
        return true;
    }

    /** Whether the placements are those of the tree the store holds. */
    current() {
        return this.placements?.count === this.store.count();
    }

    /**
     * Gives the batch its meshes, one per part, and draws its drawn members.
     * @param {Batch} batch
     * @param {Part[]} parts
     */
    fill(batch, parts) {
        for (const {geometry, material} of parts) {
            // Made empty and given its array: three.js would first write the identity into every
            // instance, which refill() overwrites.
            const mesh = new THREE.InstancedMesh(geometry, material, 0);
            mesh.instanceMatrix = new THREE.InstancedBufferAttribute(new Float32Array(batch.members.length * 16), 16);
            mesh.instanceMatrix.setUsage(THREE.DynamicDrawUsage);
            mesh.setColorAt(0, UNSELECTED);
            mesh.computeBoundingBox = mesh.computeBoundingSphere = () => boundInstances(mesh);
            mesh.frustumCulled = false;
            mesh.userData.batch = batch;
            batch.meshes.push(mesh);
            this.scene.add(mesh);
        }
        batch.shown.fill(-1); // the new instance arrays hold nothing yet
        this.refill(batch);
    }

    /** @param {Batch} batch */
    dispose(batch) {
        for (const mesh of batch.meshes) {
            this.scene.remove(mesh);
            mesh.geometry.dispose();
            /** @type {THREE.Material} */ (mesh.material).dispose();
            mesh.dispose();
        }
    }

    /**
     * Computes which placements are drawn in the view `mode` ('editor' or 'render') and refills
     * every batch.
     * @param {'editor' | 'render'} mode
     */
    update(mode) {
        computePlacementsDrawn(this.store, mode, this.placements, this.drawn);
        for (const batch of this.batches.values()) this.refill(batch);
    }

    /**
     * Copies the drawn members' matrices into the batch's instance arrays, coloured when the
     * object they belong to is selected; `shown[k]` is the placement of instance k. An instance
     * that already holds its placement's matrix and colour (a press that brings back what was
     * drawn before finds most of them there) is neither written nor sent to the GPU again.
     * @param {Batch} batch
     */
    refill(batch) {
        const {store} = this;
        const {shown, shownSelected, meshes} = batch;
        let count = 0;
        let low = Infinity; // the instances written, from low to high
        let high = -1;
        for (const placement of batch.members) {
            if (!this.drawn[placement]) continue;
            this.slotOf[placement] = count;
            this.batchOf[placement] = batch;
            const selected = store.isSelected(this.ownerOf(placement)) ? 1 : 0;
            if (this.heldAt[placement] !== count || shown[count] !== placement || shownSelected[count] !== selected) {
                this.writeInstance(batch, count, placement, selected);
                low = Math.min(low, count);
                high = count;
            }
            count++;
        }
        const written = high >= low;
        if (written) this.writes++;
        for (const mesh of meshes) {
            if (written) {
                sendInstances(mesh.instanceMatrix, low, high, 16);
                sendInstances(/** @type {THREE.InstancedBufferAttribute} */ (mesh.instanceColor), low, high, 3);
            }
            if (written || mesh.count !== count) mesh.boundingBox = mesh.boundingSphere = null;
            mesh.count = count;
        }
    }

    /**
     * Instance `slot` of the batch's meshes draws `placement` from now on.
     * @param {Batch} batch
     * @param {number} slot
     * @param {number} placement
     * @param {number} selected  1 when the object it belongs to is selected
     */
    writeInstance(batch, slot, placement, selected) {
        batch.shown[slot] = placement;
        this.heldAt[placement] = slot;
        batch.shownSelected[slot] = selected;
        const from = this.placementMatrices(placement);
        const offset = this.placementOffset(placement);
        const colour = selected ? SELECTED : UNSELECTED;
        for (const mesh of batch.meshes) {
            const matrices = mesh.instanceMatrix.array;
            for (let e = 0; e < 16; e++) matrices[slot * 16 + e] = from[offset + e];
            colour.toArray(/** @type {THREE.InstancedBufferAttribute} */ (mesh.instanceColor).array, slot * 3);
        }
    }

    /** @param {boolean} visible */
    setVisible(visible) {
        for (const batch of this.batches.values()) for (const mesh of batch.meshes) mesh.visible = visible;
    }

    /** The meshes that draw something, for picking. */
    drawingMeshes() {
        return [...this.batches.values()].flatMap((batch) => batch.meshes.filter((mesh) => mesh.count > 0));
    }

    /**
     * The index of the object a ray's hit on an instance is picked as; -1 for none.
     * @param {THREE.Intersection} hit
     */
    objectHit(hit) {
        if (hit.instanceId === undefined) return -1;
        const batch = /** @type {Batch} */ (hit.object.userData.batch);
        return this.ownerOf(batch.shown[hit.instanceId]);
    }

    /**
     * Names what the instances draw: two answers are equal only while every batch draws the same
     * instances, with the same matrices and colours.
     */
    contentsKey() {
        const counts = [...this.batches.values()].map((batch) => batch.meshes[0]?.count ?? 0);
        return `${this.writes} ${counts.join(' ')}`;
    }

    drawnCount() {
        let count = 0;
        for (const batch of this.batches.values()) count += batch.meshes.length > 0 ? batch.meshes[0].count : 0;
        return count;
    }

    /**
     * The places of the drawn instances (x, y, z each), and whether each belongs to a selected
     * object.
     */
    drawnPlaces() {
        const {store} = this;
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
                selected[k] = store.isSelected(this.ownerOf(placement)) ? 1 : 0;
            }
        }
        return {positions, selected};
    }

    /**
     * The box around the placements of `which` ('drawn', 'selected': the drawn ones of selected
     * objects, or 'all', drawn or not), from each batch's geometry bounds placed by their matrices.
     * For 'all', a batch whose geometry has not come yet counts its placements as points, so a
     * scene framed before its meshes come is framed whole.
     * @param {Which} which
     */
    boundsOf(which) {
        const box = emptyBox();
        const {store} = this;
        for (const batch of this.batches.values()) {
            const mesh = batch.meshes[0];
            if (!mesh && which !== 'all') continue;
            const shape = mesh ? geometryBox(mesh.geometry) : POINT_BOX;
            const indexes = which === 'all' ? batch.members : batch.shown.subarray(0, mesh.count);
            for (const placement of indexes) {
                if (which === 'selected' && !store.isSelected(this.ownerOf(placement))) continue;
                growByPlaced(box, shape, this.placementMatrices(placement), this.placementOffset(placement));
            }
        }
        return toBox3(box);
    }
}
