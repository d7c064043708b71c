// Cameras and lights drawn as what they are: a camera as the frustum of its field of view, a light
// as a small gizmo in its colour (rays for a point light, an arrow for a directional one, its cone
// for a spot), both in lines and unlit. Their looks are fetched on demand (GET /api/look/ID) once
// per state load, so the whole state's object table carries none of them; each gizmo sits at its
// object's world matrix and is shown when the object is drawn. Cameras and lights look along their
// -Z axis, as glTF and three.js have it.

import * as THREE from 'three';

const GIZMO_SIZE = 0.5; // the frustum's depth and a light's reach, before scaling to the scene
const SCENE_SHARE = 0.04; // a gizmo's size as a share of the scene's diagonal
const CAMERA_COLOUR = 0x4fc3f7;
const DEFAULT_FOV = 0.8;
const DEFAULT_ASPECT = 4 / 3;
const MOST_GIZMOS = 1000; // beyond that, cameras and lights keep only their markers

/** @typedef {import('./store.js').Store} Store */
/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./protocol.js').Look} Look */

/** @param {number[]} points  x y z pairs of line ends */
function lines(points, colour) {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.Float32BufferAttribute(points, 3));
    return new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({color: colour}));
}

/** @param {{fov: number, aspect: number}} camera */
export function frustumLines({fov, aspect}) {
    const d = GIZMO_SIZE;
    const w = d * Math.tan((fov > 0 && fov < Math.PI ? fov : DEFAULT_FOV) / 2);
    const h = w / (aspect > 0 ? aspect : DEFAULT_ASPECT);
    const corners = [
        [-w, -h, -d],
        [w, -h, -d],
        [w, h, -d],
        [-w, h, -d],
    ];
    const points = [];
    for (let c = 0; c < 4; c++) points.push(0, 0, 0, ...corners[c], ...corners[c], ...corners[(c + 1) % 4]);
    // The triangle over the top edge says which way is up.
    points.push(-w / 2, h, -d, 0, h * 1.5, -d, 0, h * 1.5, -d, w / 2, h, -d);
    return points;
}

/** @param {{kind: string, cone: number}} light */
export function lightLines({kind, cone}) {
    const r = GIZMO_SIZE * 0.25;
    const points = [];
    const circle = (/** @type {(a: number) => number[]} */ at) => {
        for (let s = 0; s < 16; s++) points.push(...at((s / 16) * Math.PI * 2), ...at(((s + 1) / 16) * Math.PI * 2));
    };
    circle((a) => [r * Math.cos(a), r * Math.sin(a), 0]);
    circle((a) => [r * Math.cos(a), 0, r * Math.sin(a)]);
    if (kind === 'directional') {
        points.push(0, 0, 0, 0, 0, -GIZMO_SIZE * 2);
    } else if (kind === 'spot') {
        const reach = GIZMO_SIZE * 2;
        const radius = reach * Math.tan(Math.min(cone > 0 ? cone : 1, 3) / 2);
        for (let s = 0; s < 4; s++) {
            const a = (s / 4) * Math.PI * 2;
            points.push(0, 0, 0, radius * Math.cos(a), radius * Math.sin(a), -reach);
        }
        circle((a) => [radius * Math.cos(a), radius * Math.sin(a), -reach]);
    } else {
        for (const [x, y, z] of [
            [1, 0, 0],
            [-1, 0, 0],
            [0, 1, 0],
            [0, -1, 0],
            [0, 0, 1],
            [0, 0, -1],
        ]) {
            points.push(x * r, y * r, z * r, x * GIZMO_SIZE, y * GIZMO_SIZE, z * GIZMO_SIZE);
        }
    }
    return points;
}

/** @param {Look} look */
function gizmoOf(look) {
    if (look.camera) return lines(frustumLines(look.camera), CAMERA_COLOUR);
    if (look.light) {
        const [r, g, b] = look.light.color;
        return lines(lightLines(look.light), new THREE.Color(r, g, b));
    }
    return null;
}

export class LookGizmos {
    /**
     * @param {THREE.Scene} scene
     * @param {Store} store
     * @param {Actions} actions
     * @param {object} views
     * @param {() => void} views.changed  a gizmo was added: the view is to be drawn again
     * @param {(error: unknown) => void} views.report
     */
    constructor(scene, store, actions, {changed, report}) {
        this.scene = scene;
        this.store = store;
        this.actions = actions;
        this.changed = changed;
        this.report = report;
        this.group = new THREE.Group();
        scene.add(this.group);
        /** @type {Map<number, THREE.LineSegments>} by object index */
        this.gizmos = new Map();
        this.generation = 0;
        this.size = new THREE.Vector3(1, 1, 1);
        /** @type {Float32Array} */
        this.world = new Float32Array(0);
    }

    /**
     * Sizes the gizmos to the scene: small beside what it holds, whatever its units.
     * @param {THREE.Box3} bounds  the box around everything the scene draws
     */
    fit(bounds) {
        const diagonal = bounds.isEmpty() ? 0 : bounds.getSize(new THREE.Vector3()).length();
        const factor = diagonal > 0 ? (diagonal * SCENE_SHARE) / GIZMO_SIZE : 1;
        this.size.setScalar(factor);
        for (const [index, gizmo] of this.gizmos) this.place(gizmo, index);
    }

    /**
     * Puts the gizmo at its object's place, turned as the object is, at the gizmos' size whatever
     * the object's own scale (a file in centimetres scales its whole tree).
     * @param {THREE.Object3D} gizmo
     * @param {number} index
     */
    place(gizmo, index) {
        const position = new THREE.Vector3();
        const rotation = new THREE.Quaternion();
        gizmo.matrix.fromArray(this.world, index * 16).decompose(position, rotation, new THREE.Vector3());
        gizmo.matrix.compose(position, rotation, this.size);
    }

    /**
     * Drops the gizmos of the state before and fetches the looks of this one's cameras and lights.
     * @param {Float32Array} world  each object's world matrix, 16 numbers at 16 × its index
     * @param {Uint8Array} drawn  whether each object is drawn
     */
    rebuild(world, drawn) {
        this.clear();
        this.world = world;
        const generation = ++this.generation;
        const wanted = [];
        for (let i = 0; i < this.store.count() && wanted.length < MOST_GIZMOS; i++) {
            const type = this.store.typeAt(i);
            if (type === 'camera' || type === 'light') wanted.push(i);
        }
        this.fetchInTurn(wanted, generation, drawn).catch((error) => this.report(error));
    }

    /**
     * @param {number[]} indexes
     * @param {number} generation
     * @param {Uint8Array} drawn
     */
    async fetchInTurn(indexes, generation, drawn) {
        for (const index of indexes) {
            const look = await this.actions.look(this.store.idAt(index));
            if (generation !== this.generation) return;
            const gizmo = gizmoOf(look);
            if (!gizmo) continue;
            gizmo.matrixAutoUpdate = false;
            this.place(gizmo, index);
            gizmo.visible = drawn[index] === 1;
            this.gizmos.set(index, gizmo);
            this.group.add(gizmo);
            this.changed();
        }
    }

    /**
     * Places every gizmo again: objects were moved.
     * @param {Float32Array} world  as rebuild() takes it
     */
    placeAll(world) {
        this.world = world;
        for (const [index, gizmo] of this.gizmos) this.place(gizmo, index);
    }

    /**
     * Shows the gizmos of the objects drawn.
     * @param {Uint8Array} drawn
     */
    update(drawn) {
        for (const [index, gizmo] of this.gizmos) gizmo.visible = drawn[index] === 1;
    }

    clear() {
        for (const gizmo of this.gizmos.values()) {
            this.group.remove(gizmo);
            gizmo.geometry.dispose();
            /** @type {THREE.Material} */ (gizmo.material).dispose();
        }
        this.gizmos.clear();
    }
}
