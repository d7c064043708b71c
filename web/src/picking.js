// What a click in the viewport is on. A press and release of the pointer within CLICK_SLOP pixels
// is a click; a longer way is a drag, which moves the camera.

import * as THREE from 'three';

const CLICK_SLOP = 4;

/**
 * Calls `onClick` for each click on the canvas.
 * @param {HTMLCanvasElement} canvas
 * @param {(event: PointerEvent) => void} onClick
 */
export function watchClicks(canvas, onClick) {
    /** @type {{x: number, y: number} | null} */
    let start = null;
    canvas.addEventListener('pointerdown', (event) => {
        start = {x: event.clientX, y: event.clientY};
    });
    canvas.addEventListener('pointerup', (event) => {
        if (!start || Math.hypot(event.clientX - start.x, event.clientY - start.y) > CLICK_SLOP) return;
        start = null;
        onClick(event);
    });
}

/**
 * The nearest hit of the ray through the canvas's point (clientX, clientY) on `meshes`.
 * @param {HTMLCanvasElement} canvas
 * @param {THREE.Camera} camera
 * @param {THREE.Object3D[]} meshes
 * @param {number} clientX
 * @param {number} clientY
 * @returns {THREE.Intersection | undefined}
 */
export function firstHit(canvas, camera, meshes, clientX, clientY) {
    const bounds = canvas.getBoundingClientRect();
    const x = ((clientX - bounds.left) / bounds.width) * 2 - 1;
    const y = -((clientY - bounds.top) / bounds.height) * 2 + 1;
    const raycaster = new THREE.Raycaster();
    raycaster.setFromCamera(new THREE.Vector2(x, y), camera);
    return raycaster.intersectObjects(meshes, false)[0];
}
