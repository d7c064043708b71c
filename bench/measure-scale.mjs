// Measures the studio's page on a large scene in headless Chromium (a benchmark, not a test: its
// figures depend on the machine). Needs the dev build, as scripts/test-browser does.
//   node bench/measure-scale.mjs [--identity] SCENE
// e.g. a glTF town of 10^5 nodes made by tools/make_node_gltf. Prints the time to the first
// drawn picture (on the script's clock: when the page drew it, and when the script saw it), the
// frames per second while the camera orbits under a dragged mouse for five seconds, and the time
// from a click on the Vela Button to the tree and viewport showing it, and to the viewport having
// drawn every shape (a change that brings many objects into view is first drawn as points).

import {resolve} from 'node:path';
import {launchBrowser, openStudio, screenshot, startStudio} from '../tests/browser/studio-harness.mjs';

// With `--identity`, the browser asks for answers without compression. The studio's server no
// longer compresses any answer, so both ways should measure the same; the option is kept to show
// that they do.
const identity = process.argv.includes('--identity');

const scene = process.argv.slice(2).find((argument) => !argument.startsWith('--'));
if (!scene) {
    console.error('usage: node bench/measure-scale.mjs [--identity] SCENE');
    process.exit(2);
}
const studio = await startStudio(resolve(scene));
const browser = await launchBrowser();
try {
    const started = Date.now();
    const {page} = await openStudio(browser, studio.url, identity ? {'Accept-Encoding': 'identity'} : {});
    await page.waitForFunction(() => window.studio.viewport.firstPictureAt !== undefined, null, {
        timeout: 120000,
        polling: 20, // not at animation frames: the one after the first picture may be slow
    });
    const pictureAt = Date.now();
    const objects = await page.evaluate(() => window.studio.store.count());
    const drawn = await page.evaluate(() => window.studio.viewport.drawnCount());
    console.log(`objects: ${objects}, drawn: ${drawn}`);
    await page.waitForFunction(() => window.studio.viewport.firstShapesAt !== undefined, null, {timeout: 300000});
    const times = await page.evaluate(() => {
        const {viewport} = window.studio;
        const fetchStarted = performance.getEntriesByName('state: fetch')[0]?.startTime ?? 0;
        return {
            fetchStarted,
            picture: viewport.firstPictureAt,
            shapes: viewport.firstShapesAt,
            origin: performance.timeOrigin,
        };
    });
    // The page notes the first picture when its frame is drawn; the script sees that note only
    // once the page's main thread is free, and the frame of every shape that follows it may hold
    // that thread for seconds under the software renderer. Both times are given.
    console.log(
        `first picture: ${(times.origin - started + times.picture).toFixed(0)} ms from opening the address ` +
            `(the script saw it at ${pictureAt - started} ms)`,
    );
    console.log(`the page's navigation began ${(times.origin - started).toFixed(0)} ms after opening`);
    console.log(
        `in the page, from its navigation: state asked for at ${times.fetchStarted.toFixed(0)} ms, ` +
            `first picture at ${times.picture.toFixed(0)} ms, every shape drawn at ${times.shapes.toFixed(0)} ms`,
    );
    await screenshot(page, 'scale-01-first');
    const load = await page.evaluate(() => ({
        bytes: window.studio.actions.stateBytes,
        heap: /** @type {any} */ (performance).memory?.usedJSHeapSize,
        parts: performance.getEntriesByType('measure').map(({name, duration}) => [name, duration]),
    }));
    console.log(`whole state: ${(load.bytes / 1e6).toFixed(1)} MB; JS heap: ${(load.heap / 1e6).toFixed(0)} MB`);
    for (const [name, duration] of load.parts) console.log(`  ${name}: ${duration.toFixed(0)} ms`);
    await screenshot(page, 'scale-01-first');

    const box = await page.locator('#viewport').boundingBox();
    const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
    await page.mouse.move(x, y);
    await page.mouse.down();
    const framesBefore = await page.evaluate(() => window.studio.viewport.frames);
    const orbitStarted = Date.now();
    // Four moves in flight: one at a time, the round trips to the browser alone would hold the
    // moves (and so the frames) to about 30 per second whatever the page draws.
    const moves = new Set();
    for (let step = 0; Date.now() - orbitStarted < 5000; step++) {
        const move = page.mouse.move(x + 200 * Math.sin(step / 15), y + 60 * Math.cos(step / 15));
        moves.add(move);
        move.finally(() => moves.delete(move));
        if (moves.size >= 4) await Promise.race(moves);
    }
    await Promise.all(moves);
    const frames = (await page.evaluate(() => window.studio.viewport.frames)) - framesBefore;
    console.log(
        `orbiting: ${(frames / ((Date.now() - orbitStarted) / 1000)).toFixed(1)} frames per second (${frames} frames)`,
    );
    await screenshot(page, 'scale-02-orbiting');
    await page.mouse.up();
    await page.waitForTimeout(3000); // the shapes come back and are drawn

    await page.getByRole('treeitem').first().click();
    await page.waitForFunction(
        () => document.querySelector('[role="treeitem"]').getAttribute('aria-selected') === 'true',
    );
    for (const what of ['isolate', 'restore']) {
        const [shown, shapes] = await page.evaluate(
            () =>
                new Promise((done) => {
                    const {viewport} = window.studio;
                    const button = document.getElementById('vela-button');
                    const wanted = button.getAttribute('aria-pressed') === 'true' ? 'false' : 'true';
                    const changesBefore = viewport.changes;
                    const clicked = performance.now();
                    let shownAt = null;
                    // This callback runs at the start of an animation frame, before the viewport's own: a
                    // change counted as drawn was drawn by an earlier frame, and the browser begins a
                    // frame only when the one before it is done.
                    const watch = () => {
                        const pressed = button.getAttribute('aria-pressed') === wanted;
                        if (pressed && shownAt === null && viewport.changesShown > changesBefore)
                            shownAt = performance.now() - clicked;
                        if (pressed && viewport.changesShownAsShapes > changesBefore)
                            done([shownAt, performance.now() - clicked]);
                        else requestAnimationFrame(watch);
                    };
                    button.click();
                    requestAnimationFrame(watch);
                }),
        );
        console.log(
            `press (${what}) to tree and viewport updated: ${shown.toFixed(0)} ms; every shape drawn: ${shapes.toFixed(0)} ms`,
        );
        await screenshot(page, `scale-03-${what}`);
    }
} finally {
    await browser.close();
    await studio.stop();
}
