// Framing the camera on a box: the view keeps its direction and moves so the box's bounding
// sphere fills it.

import * as THREE from 'three';

/**
 * Answers false, and leaves the camera, when the box is empty.
 * @param {THREE.PerspectiveCamera} camera
 * @param {{target: THREE.Vector3, update: () => void}} controls  the orbit controls
 * @param {THREE.Box3} box
 */
export function frameBox(camera, controls, box) {
    if (box.isEmpty()) return false;
    const sphere = box.getBoundingSphere(new THREE.Sphere());
    const radius = Math.max(sphere.radius, 0.5);
    const distance = radius / Math.sin(THREE.MathUtils.degToRad(camera.fov / 2));
    const direction = camera.position.clone().sub(controls.target).normalize();
    controls.target.copy(sphere.center);
    camera.position.copy(sphere.center).addScaledVector(direction, distance);
    camera.near = distance / 1000;
    camera.far = distance * 100;
    camera.updateProjectionMatrix();
    controls.update();
    return true;
}
