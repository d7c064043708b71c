// Measures a drag of the gizmo on a large scene in headless Chromium (a benchmark, not a test: its
// figures depend on the machine). Needs the dev build, as scripts/test-browser does.
//   node bench/measure-gizmo.mjs SCENE
// e.g. a glTF town of 10^5 nodes made by tools/make_node_gltf. Selects the first object of the
// tree, drags the gizmo's X handle with the mouse for five seconds, and prints how many
// transforms a second the page sent, and for each of them the time from its sending to the
// viewport's first frame that drew it (the host's change event applied and drawn).

import {resolve} from 'node:path';
import {launchBrowser, openStudio, screenshot, startStudio} from '../tests/browser/studio-harness.mjs';

const scene = process.argv[2];
if (!scene) {
    console.error('usage: node bench/measure-gizmo.mjs SCENE');
    process.exit(2);
}
const studio = await startStudio(resolve(scene));
const browser = await launchBrowser();
try {
    const {page} = await openStudio(browser, studio.url);
    await page.waitForFunction(() => window.studio.viewport.meshes.done, null, {timeout: 120000});
    console.log(`objects: ${await page.evaluate(() => window.studio.store.count())}`);
    await page.getByRole('treeitem').first().click();
    await page.waitForFunction(() => window.studio.gizmo.id !== 0);
    await page.waitForTimeout(3000); // the selection's frame, and the shapes after it

    // Each transform sent, and the frame that first drew it: a change counted as shown was drawn
    // by a frame before the one this watch runs at the start of.
    await page.evaluate(() => {
        const {actions, store, viewport, gizmo} = window.studio;
        const sent = [];
        window.gizmoSent = sent;
        const transform = actions.transform.bind(actions);
        actions.transform = (request) => {
            const entry = {at: performance.now(), x: request.position[0], answered: 0, applied: 0, change: 0, shown: 0};
            sent.push(entry);
            const answer = transform(request);
            answer.then(() => (entry.answered = performance.now()));
            return answer;
        };
        store.on('change', ({change}) => {
            for (const delta of change.objects ?? []) {
                if (delta.id !== gizmo.id || !delta.transform) continue;
                const entry = sent.find((each) => !each.change && each.x === delta.transform[12]);
                if (!entry) continue;
                entry.change = viewport.changes;
                entry.applied = performance.now();
            }
        });
        const watch = () => {
            const now = performance.now();
            for (const entry of sent) if (entry.change && !entry.shown && viewport.changesShown >= entry.change) entry.shown = now;
            requestAnimationFrame(watch);
        };
        requestAnimationFrame(watch);
    });

    const handle = await page.evaluate(() => {
        const {gizmo, viewport} = window.studio;
        gizmo.controls.getHelper().updateMatrixWorld(true);
        const picker = gizmo.controls._gizmo.picker.translate.children.find((child) => child.name === 'X');
        picker.geometry.computeBoundingBox();
        const box = picker.geometry.boundingBox;
        const centre = box.max.clone().add(box.min).multiplyScalar(0.5).applyMatrix4(picker.matrixWorld);
        const projected = centre.project(viewport.camera);
        const bounds = viewport.canvas.getBoundingClientRect();
        return {
            x: bounds.left + ((projected.x + 1) / 2) * bounds.width,
            y: bounds.top + ((1 - projected.y) / 2) * bounds.height,
        };
    });
    await page.mouse.move(handle.x, handle.y);
    await page.mouse.down();
    const started = Date.now();
    // Four moves in flight, as bench/measure-scale.mjs does, so that the round trips to the
    // browser do not decide how often the pointer moves.
    const moves = new Set();
    let step = 0;
    for (; Date.now() - started < 5000; step++) {
        const move = page.mouse.move(handle.x + 150 * Math.sin(step / 40), handle.y);
        moves.add(move);
        move.finally(() => moves.delete(move));
        if (moves.size >= 4) await Promise.race(moves);
    }
    await Promise.all(moves);
    const seconds = (Date.now() - started) / 1000;
    console.log(`pointer: ${step} moves, ${(step / seconds).toFixed(1)} per second`);
    await page.mouse.up();
    await page.waitForTimeout(2000);
    const sent = await page.evaluate(() => window.gizmoSent);
    const spans = (from, to) =>
        sent
            .filter((entry) => entry[from] && entry[to])
            .map((entry) => entry[to] - entry[from])
            .sort((a, b) => a - b);
    const follow = spans('at', 'shown');
    const at = (share, list = follow) => list[Math.min(list.length - 1, Math.floor(share * list.length))].toFixed(0);
    const answered = spans('at', 'answered');
    const applied = spans('at', 'applied');
    console.log(`sent to answered: median ${at(0.5, answered)} ms; sent to the event applied: median ${at(0.5, applied)} ms`);
    console.log(`sent: ${sent.length} transforms in ${seconds.toFixed(1)} s, ${(sent.length / seconds).toFixed(1)} per second`);
    console.log(
        `sent to drawn: ${follow.length} drawn; median ${at(0.5)} ms, 90th percentile ${at(0.9)} ms, slowest ${at(1)} ms`,
    );
    await screenshot(page, 'gizmo-01-dragged');
} finally {
    await browser.close();
    await studio.stop();
}
