// What the browser tests share: a studio host started on a free port with a fresh preferences
// folder, headless Chromium driven through playwright-core, and a look at the viewport's pixels.

import assert from 'node:assert/strict';
import {spawn} from 'node:child_process';
import {copyFile, mkdir, mkdtemp, rm, writeFile} from 'node:fs/promises';
import {createRequire} from 'node:module';
import {tmpdir} from 'node:os';
import {dirname, join, resolve} from 'node:path';
import {createInterface} from 'node:readline';
import {fileURLToPath} from 'node:url';

export const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const buildDir = process.env.VELA_BUILD_DIR ?? join(root, 'build/dev');
export const artifacts = join(buildDir, 'browser-artifacts');

// playwright-core is one of the page's packages, installed into web/node_modules by the build.
const {chromium} = createRequire(join(root, 'web/package.json'))('playwright-core');

const CHROMIUM_ARGS = [
    '--headless',
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
    '--use-gl=swiftshader',
    '--enable-unsafe-swiftshader',
];

// Starts `vela-host studio` on the scene and answers {url, stop()} once it printed its address.
export async function startStudio(scene) {
    const prefs = await mkdtemp(join(tmpdir(), 'vela-studio-prefs-'));
    const host = spawn(join(buildDir, 'vela-host'), ['studio', '--port', '0', '--prefs', prefs, resolve(root, scene)], {
        stdio: ['ignore', 'pipe', 'pipe'],
    });
    let errors = '';
    host.stderr.on('data', (chunk) => (errors += chunk));
    const lines = createInterface({input: host.stdout});
    const url = await new Promise((found, failed) => {
        lines.once('line', (line) => {
            const match = /http:\/\/\S+/.exec(line);
            if (match) found(match[0]);
            else failed(new Error(`vela-host studio printed "${line}" instead of its address`));
        });
        host.once('exit', (code) =>
            failed(new Error(`vela-host studio ended (${code}) before printing its address: ${errors}`)),
        );
    });
    const stop = async () => {
        if (host.exitCode === null) {
            const ended = new Promise((done) => host.once('exit', done));
            host.kill('SIGTERM');
            await ended;
        }
        await rm(prefs, {recursive: true, force: true});
        return host.exitCode;
    };
    return {url, origin: new URL(url).origin, pid: host.pid, stop, stderr: () => errors};
}

// A studio on a copy of the example scene in a folder of its own (the tests may save it), with a
// browser opened on it: {folder, scene, studio, browser, opened, end()}. `end()` closes the
// browser, stops the host, removes the folder and checks that the host ended cleanly.
export async function studioOnExampleCopy(folderPrefix) {
    const folder = await mkdtemp(join(tmpdir(), folderPrefix));
    const scene = join(folder, 'studio.json');
    let studio;
    let browser;
    const end = async () => {
        await browser?.close();
        const status = await studio?.stop();
        await rm(folder, {recursive: true, force: true});
        if (studio) assert.equal(status, 0, `vela-host studio ended with ${status}: ${studio.stderr()}`);
    };
    try {
        await copyFile(join(root, 'examples/scenes/studio.json'), scene);
        studio = await startStudio(scene);
        browser = await launchBrowser();
        const opened = await openStudio(browser, studio.url);
        return {folder, scene, studio, browser, opened, end};
    } catch (error) {
        await end().catch(() => {});
        throw error;
    }
}

export async function launchBrowser() {
    await mkdir(artifacts, {recursive: true});
    return chromium.launch({
        executablePath: '/usr/bin/chromium',
        args: CHROMIUM_ARGS,
        headless: true,
    });
}

// Opens the studio in a new context (its own cookies) and waits until the viewport has drawn.
export async function openStudio(browser, url, extraHTTPHeaders = {}) {
    const context = await browser.newContext({
        viewport: {width: 1280, height: 760},
        extraHTTPHeaders,
    });
    const page = await context.newPage();
    const problems = [];
    page.on('pageerror', (error) => problems.push(error.message));
    await page.goto(url);
    await viewportSettled(page);
    return {context, page, problems};
}

// Waits until the page holds the latest state it was sent and the viewport has drawn it.
export async function viewportSettled(page) {
    await page.waitForFunction(() => window.studio?.store.loads > 0 && window.studio.viewport.frames > 0, null, {
        timeout: 180000,
    });
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

// The viewport's picture as counts: pixels that differ from the background, and pixels that
// differ from the picture kept under `compareWith` (when given). `keepAs` keeps this picture.
export async function viewportPixels(page, {keepAs, compareWith} = {}) {
    await viewportSettled(page);
    return page.evaluate(
        ({keepAs, compareWith}) => {
            const canvas = document.getElementById('viewport');
            const copy = document.createElement('canvas');
            copy.width = canvas.width;
            copy.height = canvas.height;
            const context = copy.getContext('2d');
            // The scene without the gizmo's handles, which the selection brings.
            const {viewport, gizmo} = window.studio;
            const handles = gizmo.controls.getHelper();
            const handlesShown = handles.visible;
            handles.visible = false;
            viewport.renderer.render(viewport.scene, viewport.camera);
            context.drawImage(canvas, 0, 0);
            handles.visible = handlesShown;
            viewport.requestRender();
            const {data} = context.getImageData(0, 0, copy.width, copy.height);
            const [r, g, b] = [data[0], data[1], data[2]]; // a corner: the background
            const differs = (a, i) => Math.abs(a[i] - r) + Math.abs(a[i + 1] - g) + Math.abs(a[i + 2] - b) > 12;
            let drawn = 0;
            for (let i = 0; i < data.length; i += 4) if (differs(data, i)) drawn++;
            window.pictures ??= {};
            let changed = null;
            const before = compareWith && window.pictures[compareWith];
            if (before) {
                changed = 0;
                for (let i = 0; i < data.length; i += 4) {
                    if (
                        Math.abs(data[i] - before[i]) +
                            Math.abs(data[i + 1] - before[i + 1]) +
                            Math.abs(data[i + 2] - before[i + 2]) >
                        12
                    )
                        changed++;
                }
            }
            if (keepAs) window.pictures[keepAs] = data;
            return {drawn, changed, total: data.length / 4};
        },
        {keepAs, compareWith},
    );
}

export async function screenshot(page, name) {
    await page.screenshot({path: join(artifacts, `${name}.png`)});
}

// Writes the glTF town of tools/node_gltf.h: `nodes` nodes, a root over blocks of 99 buildings,
// each building one of eight one-triangle meshes moved along x. Large enough, it takes the host
// seconds to open.
export async function writeTownGltf(file, nodes) {
    const buildingsPerBlock = 99;
    const buffer = 'data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIAAAA=';
    const mesh = {primitives: [{attributes: {POSITION: 0}, indices: 1}]};
    const blocks = Math.ceil((nodes - 1) / (buildingsPerBlock + 1));
    const list = [{name: 'Town', children: Array.from({length: blocks}, (_, b) => 1 + b)}];
    let next = 1 + blocks;
    for (let b = 0; b < blocks; ++b) {
        const children = [];
        for (let i = 0; i < buildingsPerBlock && next + i < nodes; ++i) children.push(next + i);
        list.push({name: `Block ${b}`, children});
        next += buildingsPerBlock;
    }
    for (let n = 1 + blocks; n < nodes; ++n) {
        list.push({
            name: `Building ${n}`,
            mesh: n % 8,
            translation: [n % 1000, 0, Math.floor(n / 1000)],
        });
    }
    const town = {
        asset: {version: '2.0'},
        scene: 0,
        scenes: [{nodes: [0]}],
        buffers: [{byteLength: 44, uri: buffer}],
        bufferViews: [
            {buffer: 0, byteOffset: 0, byteLength: 36},
            {buffer: 0, byteOffset: 36, byteLength: 6},
        ],
        accessors: [
            {
                bufferView: 0,
                componentType: 5126,
                count: 3,
                type: 'VEC3',
                min: [0, 0, 0],
                max: [1, 1, 0],
            },
            {bufferView: 1, componentType: 5123, count: 3, type: 'SCALAR'},
        ],
        meshes: Array.from({length: 8}, () => mesh),
        nodes: list,
    };
    await writeFile(file, JSON.stringify(town));
}

// The screen point of the gizmo's handle for moving the selected object along X.
export const gizmoXHandle = (page) =>
    page.evaluate(() => {
        const {gizmo, viewport} = window.studio;
        gizmo.controls.getHelper().updateMatrixWorld(true);
        const picker = gizmo.controls._gizmo.picker.translate.children.find((child) => child.name === 'X');
        const box = picker.geometry.boundingBox ?? (picker.geometry.computeBoundingBox(), picker.geometry.boundingBox);
        const centre = box.max.clone().add(box.min).multiplyScalar(0.5).applyMatrix4(picker.matrixWorld);
        const projected = centre.project(viewport.camera);
        const bounds = viewport.canvas.getBoundingClientRect();
        return {
            x: bounds.left + ((projected.x + 1) / 2) * bounds.width,
            y: bounds.top + ((1 - projected.y) / 2) * bounds.height,
        };
    });

// The screen point at the centre of object `id` as the viewport draws it.
export const screenPointOf = (page, id) =>
    page.evaluate((id) => {
        const {store, viewport} = window.studio;
        const world = viewport.batches.world;
        const at = store.indexOf(id) * 16 + 12;
        const centre = new viewport.camera.position.constructor(world[at], world[at + 1], world[at + 2]);
        const projected = centre.project(viewport.camera);
        const bounds = viewport.canvas.getBoundingClientRect();
        return {
            x: bounds.left + ((projected.x + 1) / 2) * bounds.width,
            y: bounds.top + ((1 - projected.y) / 2) * bounds.height,
        };
    }, id);
