// What each object is drawn as when it has no geometry of its own: the generating types as
// their primitive at unit size, everything else (nulls, cameras, lights, generators that take
// their children as input, an instance without a reference) as a small marker in its type's
// colour. A polygon object without a mesh is drawn as a unit box so it can still be seen.

import * as THREE from 'three';

const MARKER_SIZE = 0.15;

const MARKER_COLOURS = {
    null: 0x9aa0a6,
    camera: 0x4fc3f7,
    light: 0xffe082,
    instance: 0xce93d8,
};
const GENERATOR_MARKER_COLOUR = 0x80cbc4;

const PRIMITIVES = {
    cube: () => new THREE.BoxGeometry(1, 1, 1),
    polygon: () => new THREE.BoxGeometry(1, 1, 1),
    sphere: () => new THREE.SphereGeometry(0.5, 24, 16),
    cone: () => new THREE.ConeGeometry(0.5, 1, 24),
    cylinder: () => new THREE.CylinderGeometry(0.5, 0.5, 1, 24),
    torus: () => new THREE.TorusGeometry(0.4, 0.12, 12, 32),
    plane: () => new THREE.PlaneGeometry(4, 4).rotateX(-Math.PI / 2),
    text: () => new THREE.BoxGeometry(1, 0.3, 0.1),
};

const PRIMITIVE_COLOUR = 0xb0bec5;

// The batch key of a shape: objects with the same key are drawn by one instanced mesh.
export function shapeKey(type) {
    return type in PRIMITIVES ? `primitive:${type}` : `marker:${type}`;
}

export function makeShape(key) {
    const [kind, type] = key.split(':');
    if (kind === 'primitive') {
        return {geometry: PRIMITIVES[type](), material: new THREE.MeshLambertMaterial({color: PRIMITIVE_COLOUR})};
    }
    const colour = MARKER_COLOURS[type] ?? GENERATOR_MARKER_COLOUR;
    return {
        geometry: new THREE.OctahedronGeometry(MARKER_SIZE),
        material: new THREE.MeshBasicMaterial({color: colour}),
    };
}

const textureLoader = new THREE.TextureLoader();

// The parts of a geometry from GET /api/mesh/ID, each with its own material: the base colour
// times the vertex colours and the base-colour texture, where the part has them. A texture is
// drawn once its image has loaded; `textureLoaded` is called then (or when it failed to load).
export function meshParts(answer, textureLoaded = () => {}) {
    return answer.parts.map((part) => {
        const vertices = part.positions.length / 3;
        const geometry = new THREE.BufferGeometry();
        geometry.setAttribute('position', new THREE.Float32BufferAttribute(part.positions, 3));
        if (part.indices.length > 0) geometry.setIndex(part.indices);
        if (part.normals.length === part.positions.length) {
            geometry.setAttribute('normal', new THREE.Float32BufferAttribute(part.normals, 3));
        } else {
            geometry.computeVertexNormals();
        }
        const uvs = part.uvs ?? [];
        const colors = part.colors ?? [];
        if (uvs.length === vertices * 2 && vertices > 0)
            geometry.setAttribute('uv', new THREE.Float32BufferAttribute(uvs, 2));
        const vertexColors = colors.length === vertices * 4 && vertices > 0;
        if (vertexColors) geometry.setAttribute('color', new THREE.Float32BufferAttribute(colors, 4));
        const [r, g, b, a] = part.color ?? [0.7, 0.7, 0.7, 1];
        const material = new THREE.MeshLambertMaterial({
            color: new THREE.Color(r, g, b),
            side: THREE.DoubleSide,
            vertexColors,
        });
        if (a < 1) Object.assign(material, {transparent: true, opacity: a});
        if (part.texture && geometry.getAttribute('uv')) {
            // The host's texture points run v up from the image's bottom row, as three.js flips it.
            // An image that does not come leaves the part in its colours, not black.
            const dropMap = () => {
                material.map = null;
                material.needsUpdate = true;
                textureLoaded();
            };
            material.map = textureLoader.load(part.texture, textureLoaded, undefined, dropMap);
            material.map.colorSpace = THREE.SRGBColorSpace;
            // Texture points past 0..1 repeat the image, as glTF's default sampler does.
            material.map.wrapS = THREE.RepeatWrapping;
            material.map.wrapT = THREE.RepeatWrapping;
        }
        return {geometry, material};
    });
}
