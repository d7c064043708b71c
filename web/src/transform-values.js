// An object's transform as people type it: position, rotation in degrees (XYZ order, as the host
// composes it) and scale, taken apart from the 4×4 matrix the host sends.

import * as THREE from 'three';

/** @typedef {import('./protocol.js').TransformValues} TransformValues */

export const IDENTITY = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];

/**
 * @param {THREE.Vector3} position
 * @param {THREE.Quaternion} quaternion
 * @param {THREE.Vector3} scale
 * @returns {TransformValues}
 */
export function transformValues(position, quaternion, scale) {
    const euler = new THREE.Euler().setFromQuaternion(quaternion, 'XYZ');
    const degrees = (/** @type {number} */ radians) => THREE.MathUtils.radToDeg(radians);
    return {
        position: [position.x, position.y, position.z],
        rotation: [degrees(euler.x), degrees(euler.y), degrees(euler.z)],
        scale: [scale.x, scale.y, scale.z],
    };
}

/**
 * The values of a local transform as the host sends it (column-major; identity when left out).
 * @param {ArrayLike<number> | undefined} matrix
 * @returns {TransformValues}
 */
export function valuesOfMatrix(matrix) {
    const position = new THREE.Vector3();
    const quaternion = new THREE.Quaternion();
    const scale = new THREE.Vector3();
    new THREE.Matrix4().fromArray(/** @type {number[]} */ (matrix ?? IDENTITY)).decompose(position, quaternion, scale);
    return transformValues(position, quaternion, scale);
}

/**
 * Whether a key stroke goes to a text the person is typing, which the page's keys leave alone.
 * @param {EventTarget | null} target
 */
export function isTypingTarget(target) {
    return target instanceof HTMLElement && (target.isContentEditable || target.matches('input, textarea, select'));
}
