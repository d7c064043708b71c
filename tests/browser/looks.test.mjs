// Imported files drawn as they look: a textured glTF is drawn with its image, not in a flat colour,
// and cameras and lights as their gizmos. The screenshots are left in the browser artifacts
// (looks-*.png), and their viewports side by side as looks.png, which is
// docs/images/importing-looks.png.

import assert from 'node:assert/strict';
import {mkdtemp, readFile, rm, writeFile} from 'node:fs/promises';
import {tmpdir} from 'node:os';
import {isAbsolute, join} from 'node:path';
import {after, before, describe, test} from 'node:test';
import {artifacts, launchBrowser, openStudio, screenshot, startStudio, viewportSettled} from './studio-harness.mjs';

const MODELS = '/usr/share/assimp/models';

// What the viewport's pixels show: `colours`, the number of distinct colours that are not the
// background (a box in flat colours under the studio's lights has one colour a face; its texture
// gives it hundreds), and `mostly`, how many pixels are mostly red, mostly green and mostly blue.
async function drawnPixels(page) {
    return page.evaluate(() => {
        const canvas = document.getElementById('viewport');
        const copy = document.createElement('canvas');
        copy.width = canvas.width;
        copy.height = canvas.height;
        const context = copy.getContext('2d');
        context.drawImage(canvas, 0, 0);
        const {data} = context.getImageData(0, 0, copy.width, copy.height);
        const background = (data[0] << 16) | (data[1] << 8) | data[2];
        const colours = new Set();
        const mostly = {red: 0, green: 0, blue: 0};
        const beyond = 60;
        for (let i = 0; i < data.length; i += 4) {
            const [r, g, b] = [data[i], data[i + 1], data[i + 2]];
            const colour = (r << 16) | (g << 8) | b;
            if (colour !== background) colours.add(colour);
            if (r > g + beyond && r > b + beyond) mostly.red += 1;
            if (g > r + beyond && g > b + beyond) mostly.green += 1;
            if (b > r + beyond && b > g + beyond) mostly.blue += 1;
        }
        return {colours: colours.size, mostly};
    });
}

const drawnColours = async (page) => (await drawnPixels(page)).colours;

// Waits until the viewport shows at least `least` colours: textures load after their geometry.
async function untilColours(page, least) {
    const deadline = Date.now() + 30000;
    let colours = 0;
    while (Date.now() < deadline) {
        colours = await drawnColours(page);
        if (colours >= least) break;
        await page.waitForTimeout(200);
    }
    return colours;
}

// `file`: a path, or one under the test models.
async function showing(browser, file) {
    const studio = await startStudio(isAbsolute(file) ? file : join(MODELS, file));
    const opened = await openStudio(browser, studio.url);
    return {studio, ...opened};
}

async function close({studio, context}) {
    await context.close();
    assert.equal(await studio.stop(), 0, studio.stderr());
}

describe('imported files as they look', () => {
    let browser;

    before(async () => {
        browser = await launchBrowser();
    });

    after(async () => {
        await browser?.close();
    });

    test('a textured glTF is drawn with its texture', async () => {
        const textured = await showing(browser, 'glTF2/BoxTextured-glTF/BoxTextured.gltf');
        const colours = await untilColours(textured.page, 200);
        await screenshot(textured.page, 'looks-box-textured');
        assert.deepEqual(textured.problems, []);
        await close(textured);
        // The same box on a page whose texture requests fail: its faces in flat colours.
        const studio = await startStudio(`${MODELS}/glTF2/BoxTextured-glTF/BoxTextured.gltf`);
        const context = await browser.newContext({viewport: {width: 1280, height: 760}});
        await context.route('**/api/texture/**', (route) => route.abort());
        const page = await context.newPage();
        await page.goto(studio.url);
        await viewportSettled(page);
        await page.waitForTimeout(1000);
        const flatColours = await drawnColours(page);
        await screenshot(page, 'looks-box-without-texture');
        await close({studio, context});
        assert.ok(colours >= 200, `the textured box shows ${colours} colours`);
        assert.ok(flatColours < 40, `the box without its texture shows ${flatColours}`);
    });

    test('vertex colours are drawn blended between their corners', async () => {
        const folder = await mkdtemp(join(tmpdir(), 'vela-colours-'));
        const file = join(folder, 'square.ply');
        // A square facing +z whose corners are red, green, blue and white.
        await writeFile(
            file,
            [
                'ply',
                'format ascii 1.0',
                'element vertex 4',
                ...['x', 'y', 'z'].map((axis) => `property float ${axis}`),
                ...['red', 'green', 'blue'].map((channel) => `property uchar ${channel}`),
                'element face 2',
                'property list uchar int vertex_indices',
                'end_header',
                '-1 -1 0 255 0 0',
                '1 -1 0 0 255 0',
                '1 1 0 0 0 255',
                '-1 1 0 255 255 255',
                '3 0 1 2',
                '3 0 2 3',
                '',
            ].join('\n'),
        );
        const square = await showing(browser, file);
        await viewportSettled(square.page);
        const {colours, mostly} = await drawnPixels(square.page);
        await screenshot(square.page, 'looks-vertex-colours');
        assert.deepEqual(square.problems, []);
        await close(square);
        await rm(folder, {recursive: true});
        // Drawn in one flat colour, no pixel would lean to one channel, and there would be few
        // colours instead of a blend.
        for (const [channel, pixels] of Object.entries(mostly)) {
            assert.ok(pixels > 200, `${pixels} pixels are mostly ${channel}`);
        }
        assert.ok(colours >= 200, `the square shows ${colours} colours`);
    });

    test('cameras and lights are drawn as their gizmos', async () => {
        const duck = await showing(browser, 'Collada/duck.dae');
        const looks = await duck.page.waitForFunction(() => window.studio.viewport.looks.gizmos.size === 2, null, {
            timeout: 30000,
        });
        assert.ok(await looks.jsonValue());
        await screenshot(duck.page, 'looks-duck');
        const truck = await showing(browser, 'glTF/CesiumMilkTruck/CesiumMilkTruck.gltf');
        await untilColours(truck.page, 200);
        await screenshot(truck.page, 'looks-truck');
        assert.deepEqual([...duck.problems, ...truck.problems], []);
        await close(duck);
        await close(truck);
    });

    test('the viewports side by side', async () => {
        const shots = ['looks-box-textured', 'looks-truck', 'looks-duck'];
        const images = await Promise.all(shots.map((name) => readFile(join(artifacts, `${name}.png`), 'base64')));
        const context = await browser.newContext({viewport: {width: 3 * 640, height: 640}});
        const page = await context.newPage();
        // Each picture's viewport: the page's middle column, below the toolbar.
        const tiles = images
            .map(
                (png) => `<div style="width:640px;height:640px;overflow:hidden;display:inline-block">
                <img src="data:image/png;base64,${png}" style="margin:-70px 0 0 -340px"></div>`,
            )
            .join('');
        await page.setContent(`<body style="margin:0;font-size:0;background:#2b2f36">${tiles}</body>`);
        await page.screenshot({path: join(artifacts, 'looks.png')});
        await context.close();
    });
});
