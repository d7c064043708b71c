// Measures the studio's channel with many pages (a benchmark, not a test: its figures depend on the
// machine). Needs the dev build's vela-host.
//   node bench/measure-pages.mjs [PAGES] [ACTIONS] SCENE
// e.g. a glTF town of 10^5 nodes made by tools/make_node_gltf. PAGES (default 100) clients hold a
// WebSocket each, as pages do (no browser: a small client of its own below), and read every event.
// Prints how long the whole state takes with no page and with all of them connected, how long a
// press takes to reach every page, and the host's threads and resident memory while ACTIONS
// (default 10,000) selections are made with every page following.

import {readFileSync} from 'node:fs';
import {request} from 'node:http';
import {startStudio} from '../tests/browser/studio-harness.mjs';
import {decodeState} from '../web/src/object-table.js';

const numbers = process.argv.slice(2).filter((argument) => /^\d+$/.test(argument));
const scene = process.argv.slice(2).find((argument) => !/^\d+$/.test(argument));
if (!scene) {
    console.error('usage: node bench/measure-pages.mjs [PAGES] [ACTIONS] SCENE');
    process.exit(2);
}
const pages = Number(numbers[0] ?? 100);
const actions = Number(numbers[1] ?? 10000);

const studio = await startStudio(scene);
const url = new URL(studio.url);
const token = url.searchParams.get('token');
const headers = {cookie: `vela_studio=${token}`, origin: studio.origin};

/** A request's answer as {status, bytes}. */
function ask(method, path, body) {
    return new Promise((done, failed) => {
        const sent = request({host: url.hostname, port: url.port, method, path, headers: {...headers}}, (answer) => {
            const chunks = [];
            answer.on('data', (chunk) => chunks.push(chunk));
            answer.on('end', () => done({status: answer.statusCode, bytes: Buffer.concat(chunks)}));
        });
        sent.on('error', failed);
        if (body !== undefined) {
            sent.setHeader('content-type', 'application/json');
            sent.end(JSON.stringify(body));
        } else {
            sent.end();
        }
    });
}

// The answer to a ping, masked as a client's frames are (with a mask of zeros).
function pong(payload) {
    return Buffer.concat([Buffer.from([0x8a, 0x80 | payload.length, 0, 0, 0, 0]), payload]);
}

// A page's WebSocket: the handshake, then the host's frames (unmasked, perhaps fragmented) read as
// text messages; `onMessage` is told each one as it is parsed.
function openPage(onMessage) {
    return new Promise((opened, failed) => {
        const handshake = request({
            host: url.hostname,
            port: url.port,
            path: '/api/events',
            headers: {
                ...headers,
                connection: 'Upgrade',
                upgrade: 'websocket',
                'sec-websocket-version': '13',
                'sec-websocket-key': 'dGhlIHNhbXBsZSBub25jZQ==',
            },
        });
        handshake.on('upgrade', (_answer, socket) => {
            let pending = Buffer.alloc(0);
            let parts = [];
            socket.on('data', (chunk) => {
                pending = Buffer.concat([pending, chunk]);
                for (;;) {
                    if (pending.length < 2) return;
                    let length = pending[1] & 0x7f;
                    let at = 2;
                    if (length === 126) {
                        if (pending.length < 4) return;
                        length = pending.readUInt16BE(2);
                        at = 4;
                    } else if (length === 127) {
                        if (pending.length < 10) return;
                        length = Number(pending.readBigUInt64BE(2));
                        at = 10;
                    }
                    if (pending.length < at + length) return;
                    const final = (pending[0] & 0x80) !== 0;
                    const opcode = pending[0] & 0x0f;
                    const payload = pending.subarray(at, at + length);
                    pending = pending.subarray(at + length);
                    if (opcode === 9) socket.write(pong(payload));
                    if (opcode >= 8) continue; // control frames: ping, pong, close
                    parts.push(payload);
                    if (final) {
                        onMessage(JSON.parse(Buffer.concat(parts).toString('utf8')));
                        parts = [];
                    }
                }
            });
            opened(socket);
        });
        handshake.on('response', (answer) => failed(new Error(`the handshake was answered ${answer.statusCode}`)));
        handshake.on('error', failed);
        handshake.end();
    });
}

/** The host's threads and resident memory (MB), from /proc. */
function hostUse() {
    const status = readFileSync(`/proc/${studio.pid}/status`, 'utf8');
    const field = (name) => Number(new RegExp(`^${name}:\\s+(\\d+)`, 'm').exec(status)[1]);
    return {threads: field('Threads'), rssMB: Math.round(field('VmRSS') / 1024)};
}

// Times GET /api/state and answers the state last read.
async function timeWholeState(label) {
    const times = [];
    let state;
    for (let k = 0; k < 5; k++) {
        const started = performance.now();
        const {status, bytes} = await ask('GET', '/api/state');
        if (status !== 200) throw new Error(`GET /api/state answered ${status}`);
        times.push(performance.now() - started);
        if (k === 0) console.log(`${label}: whole state of ${(bytes.length / 1e6).toFixed(1)} MB`);
        state = decodeState(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
    }
    console.log(`${label}: GET /api/state ${times.map((t) => t.toFixed(0)).join(', ')} ms`);
    return state;
}

try {
    const {objects} = await timeWholeState('no page connected');
    console.log('host before the pages:', hostUse());

    // Every page notes when it receives each version.
    const seen = Array.from({length: pages}, () => new Map());
    const sockets = [];
    for (let p = 0; p < pages; p++) {
        sockets.push(
            await openPage((message) => {
                if (message.event === 'change') seen[p].set(message.data.version, performance.now());
            }),
        );
    }
    await new Promise((done) => setTimeout(done, 500));
    console.log(`${pages} pages connected:`, hostUse());
    await timeWholeState(`page ${pages + 1}`);

    const reachAll = async (what, path, body) => {
        const started = performance.now();
        const {status, bytes} = await ask('POST', path, body);
        if (status !== 200) throw new Error(`${path} answered ${status}: ${bytes}`);
        const {version} = JSON.parse(bytes.toString('utf8'));
        const answered = performance.now() - started;
        for (;;) {
            if (seen.every((versions) => versions.has(version))) break;
            await new Promise((done) => setTimeout(done, 2));
        }
        const arrivals = seen.map((versions) => versions.get(version) - started).sort((a, b) => a - b);
        console.log(
            `${what}: answered in ${answered.toFixed(0)} ms; reached the first page in ${arrivals[0].toFixed(0)} ms, ` +
                `half in ${arrivals[pages >> 1].toFixed(0)} ms, all ${pages} in ${arrivals.at(-1).toFixed(0)} ms`,
        );
    };
    // The first object and its subtree are isolated (a street of the town: the rest is hidden).
    await reachAll('select', '/api/select', {ids: [objects.id[0]], mode: 'replace'});
    for (let k = 0; k < 3; k++) {
        await reachAll('press (isolate)', '/api/press', {});
        await reachAll('press (restore)', '/api/press', {});
    }

    const samples = [hostUse()];
    const started = performance.now();
    for (let k = 1; k <= actions; k++) {
        const {status} = await ask('POST', '/api/select', {ids: [objects.id[k % 50]], mode: 'replace'});
        if (status !== 200) throw new Error(`select answered ${status}`);
        if (k % (actions / 10) === 0) samples.push(hostUse());
    }
    console.log(
        `${actions} selections with ${pages} pages following: ${((performance.now() - started) / actions).toFixed(2)} ms each`,
    );
    console.log('threads:', samples.map((s) => s.threads).join(' '));
    console.log('resident MB:', samples.map((s) => s.rssMB).join(' '));
    for (const socket of sockets) socket.destroy();
} finally {
    await studio.stop();
}
