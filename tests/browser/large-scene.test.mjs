// A scene too large for the software renderer to draw every shape in one frame (more than the
// viewport's 20,000): its first frame waits for the meshes, the shapes are all drawn in the end,
// every instance holds its own object's matrix and colour through moves and presses that write
// only the instances that changed, and a click picks a building moved after the instances'
// bounds were made.

import assert from 'node:assert/strict';
import {mkdtemp, rm} from 'node:fs/promises';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {after, before, describe, test} from 'node:test';
import {launchBrowser, openStudio, screenshot, startStudio, writeTownGltf} from './studio-harness.mjs';

const NODES = 30001; // 300 blocks of 99 buildings under the town, which the import leaves out

// Instances whose matrix or colour is not what their object's place and selection say, and how
// many instances are drawn.
const checkInstances = (page) =>
    page.evaluate(() => {
        const {viewport, store} = window.studio;
        const {batches} = viewport;
        let wrong = 0;
        let drawn = 0;
        for (const batch of batches.batches.values()) {
            for (const mesh of batch.meshes) {
                const colours = mesh.instanceColor.array;
                for (let k = 0; k < mesh.count; k++, drawn++) {
                    const placement = batch.shown[k];
                    const from = batches.placementMatrices(placement);
                    const offset = batches.placementOffset(placement);
                    let same = true;
                    for (let e = 0; e < 16; e++) same &&= mesh.instanceMatrix.array[k * 16 + e] === from[offset + e];
                    const selected = store.isSelected(batches.ownerOf(placement));
                    same &&= colours[k * 3 + 2] < 0.5 === selected; // the selection's colour has little blue
                    if (!same) wrong++;
                }
            }
        }
        return {wrong, drawn, objects: store.count()};
    });

// Waits until every shape of the last change is drawn: no points stand in for them.
const untilShapesDrawn = (page) =>
    page.waitForFunction(
        () => {
            const {viewport} = window.studio;
            return viewport.changesShownAsShapes === viewport.changes && !viewport.renderPending;
        },
        null,
        {timeout: 60000},
    );

// Where object `name`'s local point (x, y, z) is on the screen.
const onScreen = (page, name, [x, y, z]) =>
    page.evaluate(
        ({name, point}) => {
            const {viewport, store} = window.studio;
            const index = [...Array(store.count()).keys()].find((i) => store.nameAt(i) === name);
            const m = viewport.batches.world.subarray(index * 16, index * 16 + 16);
            const world = [0, 1, 2].map((r) => m[r] * point[0] + m[4 + r] * point[1] + m[8 + r] * point[2] + m[12 + r]);
            const camera = viewport.camera;
            camera.updateMatrixWorld();
            const projected = new camera.position.constructor(...world).project(camera);
            const bounds = viewport.canvas.getBoundingClientRect();
            return {
                x: bounds.left + ((projected.x + 1) / 2) * bounds.width,
                y: bounds.top + ((1 - projected.y) / 2) * bounds.height,
                inView: Math.abs(projected.x) <= 1 && Math.abs(projected.y) <= 1,
            };
        },
        {name, point: [x, y, z]},
    );

describe('a scene of 30,000 objects in the viewport', () => {
    let folder;
    let studio;
    let browser;
    let page;
    const problems = [];

    before(async () => {
        folder = await mkdtemp(join(tmpdir(), 'vela-studio-large-'));
        const town = join(folder, 'town.gltf');
        await writeTownGltf(town, NODES);
        studio = await startStudio(town);
        browser = await launchBrowser();
        ({page} = await openStudio(browser, studio.url));
        page.on('pageerror', (error) => problems.push(error.message));
    });

    after(async () => {
        await browser?.close();
        const status = await studio?.stop();
        await rm(folder, {recursive: true, force: true});
        assert.equal(status, 0);
    });

    test('the first picture frames the whole town and every shape follows', async () => {
        await page.waitForFunction(() => window.studio.viewport.firstShapesAt !== undefined, null, {timeout: 60000});
        await untilShapesDrawn(page);
        await screenshot(page, 'large-01-first');
        const {wrong, drawn, objects} = await checkInstances(page);
        assert.equal(objects, NODES - 1);
        assert.equal(drawn, objects, 'every object is drawn as a shape');
        assert.equal(wrong, 0, 'every instance holds its object');
        for (const name of ['Building 301', `Building ${NODES - 1}`]) {
            assert.ok((await onScreen(page, name, [0, 0, 0])).inView, `${name} is in view`);
        }
    });

    test('buildings moved while hidden and while drawn are drawn where they are, and picked there', async () => {
        // `continues`, as a drag's later steps: then only the transform changes, which the
        // viewport writes into the instances without a refill.
        const transform = (name, position, scale, continues = false) =>
            page.evaluate(
                async ({name, position, scale, continues}) => {
                    const {store, actions} = window.studio;
                    const index = [...Array(store.count()).keys()].find((i) => store.nameAt(i) === name);
                    await actions.transform({id: store.idAt(index), position, rotation: [0, 0, 0], scale, continues});
                },
                {name, position, scale, continues},
            );
        const press = async () => {
            const before = await page.evaluate(() => window.studio.store.button.pressed);
            await page.getByRole('button', {name: 'Vela Button', exact: true}).click();
            await page.waitForFunction((was) => window.studio.store.button.pressed !== was, before);
        };
        const untilShown = () =>
            page.waitForFunction(() => window.studio.viewport.changesShown === window.studio.viewport.changes);

        // The first block and its buildings alone: the instances' bounds shrink to theirs.
        await page.evaluate(() => {
            const {store, actions} = window.studio;
            return actions.select([store.idAt(0)], 'replace', {children: true});
        });
        await press();
        await untilShapesDrawn(page);
        await transform('Building 1234', [300, 0, 3], [1, 1, 1]); // hidden: in the tenth block
        // Drawn, dragged far from the first block, where only grown bounds let a pick find it.
        await transform('Building 305', [390, 0, 0], [40, 40, 1]);
        await untilShown();
        await transform('Building 305', [800, 0, 20], [40, 40, 1], true);
        await untilShown();
        let state = await checkInstances(page);
        assert.equal(state.wrong, 0, 'after a move while drawn');
        const point = await onScreen(page, 'Building 305', [1 / 3, 1 / 3, 0]);
        assert.ok(point.inView);
        await page.mouse.click(point.x, point.y);
        await page
            .getByRole('treeitem', {name: 'Building 305', exact: true})
            .and(page.locator('[aria-selected="true"]'))
            .waitFor({timeout: 20000});
        await untilShown();
        assert.equal((await checkInstances(page)).wrong, 0, 'after the selection changed colours');

        await press(); // every building back, the hidden one where it was moved to
        await untilShapesDrawn(page);
        await screenshot(page, 'large-02-moved');
        state = await checkInstances(page);
        assert.deepEqual([state.wrong, state.drawn], [0, state.objects], 'after a move while hidden');
        assert.deepEqual(problems, [], 'no script error on the page');
    });
});
