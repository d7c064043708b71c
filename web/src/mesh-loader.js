// The geometries of the scene's meshes, fetched a few at a time and given to their batches as
// they come. A geometry that comes after another state was loaded is dropped.

import {meshParts} from './shapes.js';

const MESH_FETCHES_AT_ONCE = 4;

/** @typedef {import('./actions.js').Actions} Actions */
/** @typedef {import('./scene-batches.js').Batch} Batch */
/** @typedef {import('./scene-batches.js').Part} Part */

export class MeshLoader {
    /**
     * @param {Actions} actions
     * @param {object} views
     * @param {(batch: Batch, parts: Part[], last: boolean) => void} views.loaded  a geometry came;
     *     `last`: no other is queued or on its way
     * @param {() => void} views.idle  the last fetch of a round has settled
     * @param {(error: unknown) => void} views.report
     * @param {() => void} [views.textureLoaded]  a texture's image came after its geometry
     */
    constructor(actions, {loaded, idle, report, textureLoaded = () => {}}) {
        this.actions = actions;
        this.loaded = loaded;
        this.idle = idle;
        this.report = report;
        this.textureLoaded = textureLoaded;
        /** @type {{batch: Batch, meshId: number, generation: number}[]} */
        this.queue = [];
        this.fetching = 0;
        this.generation = 0; // counts the states loaded, so a late geometry of an old one is dropped
    }

    /** Drops what is queued and what is on its way: another state was loaded. */
    reset() {
        this.queue = [];
        this.generation++;
    }

    /**
     * @param {Batch} batch
     * @param {number} meshId
     */
    load(batch, meshId) {
        this.queue.push({batch, meshId, generation: this.generation});
        this.pump();
    }

    /** Whether every geometry asked for has come (or failed). */
    get done() {
        return this.queue.length === 0 && this.fetching === 0;
    }

    pump() {
        while (this.fetching < MESH_FETCHES_AT_ONCE && this.queue.length > 0) {
            const {batch, meshId, generation} = /** @type {MeshLoader['queue'][number]} */ (this.queue.shift());
            this.fetching++;
            this.actions
                .mesh(meshId)
                .then((answer) => {
                    if (generation !== this.generation) return;
                    this.loaded(
                        batch,
                        meshParts(answer, this.textureLoaded),
                        this.queue.length === 0 && this.fetching === 1,
                    );
                })
                .catch((error) => this.report(error))
                .finally(() => {
                    this.fetching--;
                    this.pump();
                    if (this.done) this.idle();
                });
        }
    }
}
