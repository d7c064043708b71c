// The page's rules that need no browser: which objects the viewport draws and where, the points it
// draws instead of a large scene's shapes, how events are applied to the page's state, the order
// in which requests go to the host, and how a key stroke is named for the host.

import assert from 'node:assert/strict';
import {test} from 'node:test';
import {Actions} from '../../web/src/actions.js';
import {computePlacementsDrawn, computeWorld, placeObjects} from '../../web/src/instances.js';
import {hostKeyName} from '../../web/src/keyboard.js';
import {gridPoints} from '../../web/src/point-grid.js';
import {Store} from '../../web/src/store.js';
import {computeDrawn} from '../../web/src/visibility.js';

const object = (id, parent, editor, render, enabled = true) => ({
    id,
    parent,
    name: `#${id}`,
    type: 'cube',
    editor,
    render,
    enabled,
    selected: false,
    isolated: false,
});

function loaded(objects) {
    const store = new Store();
    store.load({
        version: 5,
        document: {name: 'x', changed: false},
        button: {},
        objects,
        console: [],
        window: null,
        opened: [],
    });
    return store;
}

test('the viewport draws by the effective visibility, and a disabled object passes its visibility on', () => {
    const store = loaded([
        object(1, 0, 'default', 'off'),
        object(2, 1, 'off', 'default'),
        object(3, 2, 'default', 'on'),
        object(4, 3, 'on', 'default'),
        object(5, 0, 'on', 'default', false),
        object(6, 5, 'default', 'default'),
        object(7, 0, 'off', 'on'),
        object(8, 7, 'default', 'default'),
    ]);
    const drawn = (mode) => Array.from(computeDrawn(store, mode, new Uint8Array(8)));
    assert.deepEqual(drawn('editor'), [1, 0, 0, 1, 0, 1, 0, 0]);
    assert.deepEqual(drawn('render'), [0, 0, 1, 1, 0, 1, 1, 1]);
});

test('an instance places the subtree it refers to at its own place, follows instances of instances and stops at a link back', () => {
    const at = (x, y, z) => [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1];
    const made = (id, parent, type, more = {}) => ({
        ...object(id, parent, 'default', 'default'),
        type,
        ...more,
    });
    const store = loaded([
        made(1, 0, 'null', {editor: 'off', transform: at(10, 0, 0)}), // Car, hidden in the tree
        made(2, 1, 'cube', {transform: at(1, 1, 0)}), // Body
        made(3, 1, 'cylinder', {editor: 'off'}), // a wheel hidden in the tree
        made(4, 1, 'instance', {link: 5, transform: at(0, 2, 0)}), // an instance inside the car
        made(5, 0, 'sphere', {transform: at(0, 0, 7)}),
        made(6, 0, 'instance', {
            link: 1,
            transform: [0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, -5, 1],
        }), // the car's copy, turned
        made(7, 0, 'instance', {link: 6, transform: at(0, 0, 20)}), // a copy of the copy
        made(8, 0, 'instance', {link: 9}),
        made(9, 0, 'instance', {link: 8}),
        made(10, 0, 'null'),
        made(11, 10, 'instance', {link: 10}), // refers to its own parent
        made(12, 0, 'instance', {link: 10}),
    ]);
    const placements = placeObjects(store, computeWorld(store));
    const {count, source, extras} = placements;
    assert.deepEqual(
        Array.from(source),
        [0, 1, 2, 4, 4, -1, -1, -1, -1, 9, -1, -1],
        "a single referenced object is drawn in the instance's own place",
    );
    const drawn = (mode) => computePlacementsDrawn(store, mode, placements, new Uint8Array(count + extras.count));
    // Each extra as [owner id, drawn object id or "gate", drawn, its place].
    const listed = (shown) =>
        extras.owner.map((owner, x) => [
            store.idAt(owner),
            extras.source[x] < 0 ? 'gate' : store.idAt(extras.source[x]),
            shown[count + x],
            Array.from(extras.matrix.subarray(x * 16 + 12, x * 16 + 15)),
        ]);
    assert.deepEqual(listed(drawn('editor')), [
        [6, 1, 1, [0, 0, -5]],
        [6, 2, 1, [0, 1, -6]],
        [6, 3, 0, [0, 0, -5]],
        [6, 5, 1, [0, 2, -5]],
        [7, 'gate', 1, [0, 0, 20]],
        [7, 1, 1, [0, 0, 20]],
        [7, 2, 1, [1, 1, 20]],
        [7, 3, 0, [0, 0, 20]],
        [7, 5, 1, [0, 2, 20]],
        [11, 10, 1, [0, 0, 0]],
        [12, 10, 1, [0, 0, 0]],
    ]);

    store.write([1], 'enabled', false); // the body
    store.write([5], 'editor', 'off'); // the copy; the copy of the copy still shows the car
    assert.deepEqual(
        listed(drawn('editor')).map((entry) => entry[2]),
        [0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 1],
    );
    assert.deepEqual(
        listed(drawn('render')).map((entry) => entry[2]),
        [1, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1],
        'the render view by the render states',
    );
});

test('a large scene as points: as many as allowed however flat it is, a lone object kept, the selection kept', () => {
    // A town's strip: 1,000 × 100 places on 1,000 × 10 units, one selected, and one far away.
    const count = 100001;
    const positions = new Float32Array(count * 3);
    const selected = new Uint8Array(count);
    for (let k = 0; k < count - 1; k++) positions.set([Math.floor(k / 100), 0, (k % 100) / 10], k * 3);
    positions.set([5000, 40, 0], (count - 1) * 3);
    selected[4321] = 1;
    const limit = 20000;
    const chosen = gridPoints(positions, selected, limit);
    assert.ok(chosen.count <= limit && chosen.count >= limit / 4, `${chosen.count} points`);
    const firsts = Array.from(chosen.first.subarray(0, chosen.count));
    assert.ok(firsts.includes(count - 1), 'the lone place has its point');
    assert.equal(
        chosen.selected.subarray(0, chosen.count).reduce((sum, flag) => sum + flag, 0),
        1,
    );
    assert.equal(
        gridPoints(positions, selected, limit, chosen.cellSize).count,
        chosen.count,
        'starting from the size chosen gives the same',
    );

    assert.equal(gridPoints(new Float32Array([1, 2, 3, 1, 2, 3]), new Uint8Array(2), limit).count, 1);
    assert.equal(gridPoints(new Float32Array(0), new Uint8Array(0), limit).count, 0);
});

test('events apply in order: a missed version asks for the whole state, an old one is passed over', () => {
    const store = loaded([object(1, 0, 'default', 'default'), object(2, 1, 'default', 'default')]);
    const seen = [];
    store.on('change', ({changedIds}) => seen.push(changedIds));

    assert.equal(store.applyChange({version: 7, objects: [{id: 2, editor: 'off'}]}), false);
    assert.equal(store.objectAt(1).editor, 'default', 'nothing is applied over a gap');
    assert.equal(store.applyChange({version: 5, objects: [{id: 2, editor: 'off'}]}), true);
    assert.equal(store.objectAt(1).editor, 'default', 'an event the state already holds is not applied again');

    assert.equal(
        store.applyChange({
            version: 6,
            objects: [{id: 2, editor: 'off', isolated: true}],
            button: {pressed: true},
            console: [{text: 'a'}],
            window: null,
        }),
        true,
    );
    assert.deepEqual(store.objectAt(1), {
        ...object(2, 1, 'off', 'default'),
        isolated: true,
    });
    assert.equal(store.button.pressed, true);
    assert.deepEqual(store.console, [{text: 'a'}]);
    assert.deepEqual(seen, [[2]]);
    assert.deepEqual([store.depth[1], store.subtreeEnd[0], store.posInSet[1], store.setSize[1]], [1, 2, 1, 1]);

    // One entry for objects that changed alike: lone ids and runs, an unknown id passed over.
    assert.equal(
        store.applyChange({
            version: 7,
            objects: [
                {ids: [[1, 3]], render: 'off'},
                {ids: [2], selected: true},
            ],
        }),
        true,
    );
    assert.deepEqual(
        [store.objectAt(0), store.objectAt(1)].map(({render, selected}) => [render, selected]),
        [
            ['off', false],
            ['off', true],
        ],
    );
    assert.deepEqual(seen.at(-1), [1, 2, 2]);

    // A transform written over the table's (an offset only, or none) is read back whole, and the
    // world transforms follow it.
    const turned = [0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 4, 5, 6, 1];
    store.write([1], 'transform', turned);
    assert.deepEqual(store.objectAt(1).transform, turned);
    assert.deepEqual(Array.from(computeWorld(store).subarray(16, 32)), turned);
    store.write([1], 'transform', null);
    assert.equal(store.objectAt(1).transform, undefined);

    // Ids far sparser than the objects are looked up all the same.
    const sparse = loaded([object(4e9, 0, 'default', 'default'), object(7, 4e9, 'default', 'default')]);
    assert.deepEqual([sparse.indexOf(4e9), sparse.indexOf(7), sparse.indexOf(8), sparse.depth[1]], [0, 1, -1, 1]);

    // Members that change only with the tree, and members the page does not know, are not written.
    assert.equal(
        store.applyChange({
            version: 8,
            objects: [{id: 1, type: 'sphere', parent: 2, colour: 'red', name: 'Car'}],
        }),
        true,
    );
    assert.deepEqual(store.objectAt(0), {
        ...object(1, 0, 'default', 'off'),
        name: 'Car',
    });
});

// A whole state of no objects in the host's binary form: `members` as its header.
function stateBytes(members) {
    const columns = [
        'id',
        'parent',
        'type',
        'link',
        'mesh',
        'transformKind',
        'transform',
        'name',
        'editor',
        'render',
        'flags',
    ]
        .map((name) => ({name, type: 'u8', offset: 0, length: 0}))
        .concat([{name: 'name.start', type: 'u32', offset: 0, length: 1}]);
    const objects = {
        count: 0,
        types: [],
        modes: ['on', 'off', 'default'],
        flags: ['enabled', 'selected', 'isolated'],
        columns,
    };
    const header = new TextEncoder().encode(JSON.stringify({...members, objects}));
    const start = Math.ceil((8 + header.length) / 8) * 8;
    const bytes = new Uint8Array(start + 8);
    bytes.set(new TextEncoder().encode('VST1'));
    new DataView(bytes.buffer).setUint32(4, header.length, true);
    bytes.set(header, 8);
    return bytes.buffer;
}

// A stand-in for the host behind fetch: each request waits until the test answers it.
function fakeHost() {
    const requests = [];
    globalThis.fetch = (path, init) =>
        new Promise((resolve) => {
            const body = init.body === undefined ? undefined : JSON.parse(init.body);
            requests.push({
                what: `${init.method} ${path}`,
                body,
                answer: (status, json) =>
                    resolve({
                        ok: status < 400,
                        status,
                        statusText: '',
                        json: async () => json,
                        arrayBuffer: async () => stateBytes(json),
                    }),
            });
        });
    const settle = () => new Promise((done) => setTimeout(done, 0));
    return {
        requests,
        settle,
        sent: () => requests.map((request) => request.what),
    };
}

test('edits go to the host one after another, the modal window on a lane of its own, the state once at a time', async () => {
    const host = fakeHost();
    const reported = [];
    const store = new Store();
    const actions = new Actions(store, {
        report: (error) => reported.push(error.message),
    });

    const first = actions.select([1], 'replace');
    const second = actions.setObject({id: 1, editor: 'on'});
    const third = actions.select([2], 'add', {children: true});
    const window = actions.windowAction({action: 'ok'});
    await host.settle();
    assert.deepEqual(
        host.sent(),
        ['POST /api/select', 'POST /api/window'],
        'an edit waits for the one before; a window action does not',
    );

    host.requests[0].answer(409, {error: 'A window is open.'});
    await assert.rejects(first, {status: 409, message: 'A window is open.'});
    await host.settle();
    assert.deepEqual(host.sent().slice(2), ['POST /api/object'], 'a refused edit lets the next one go');
    host.requests[2].answer(200, {version: 3});
    assert.deepEqual(await second, {version: 3});
    await host.settle();
    assert.deepEqual(host.requests[3].body, {
        ids: [2],
        mode: 'add',
        children: true,
    });
    host.requests[3].answer(200, {version: 4});
    host.requests[1].answer(200, {version: 4});
    await Promise.all([third, window]);

    const loads = [actions.reload(), actions.reload(), actions.reload()];
    await host.settle();
    assert.deepEqual(host.sent().slice(4), ['GET /api/state'], 'one fetch of the state at a time');
    const state = {
        version: 9,
        document: {name: 'a', path: '', changed: false},
        button: {},
        objects: [],
        console: [],
        window: null,
        opened: [],
    };
    host.requests[4].answer(200, state);
    await host.settle();
    assert.deepEqual(host.sent().slice(5), ['GET /api/state'], 'asked for again meanwhile, it is fetched once more');
    host.requests[5].answer(500, {error: 'broken'});
    await Promise.all(loads);
    assert.equal(store.loads, 1);
    assert.equal(store.version, 9);
    assert.deepEqual(reported, ['broken'], 'a failed fetch of the state is reported');
});

test('an open that would lose unsaved changes asks, and opens again losing them only when the person agrees', async () => {
    const host = fakeHost();
    const actions = new Actions(new Store(), {report: () => {}});
    const asked = [];
    for (const agrees of [false, true]) {
        const before = host.requests.length;
        const opened = actions.open('/tmp/b.json', async (unsaved) => {
            asked.push(unsaved);
            return agrees;
        });
        await host.settle();
        host.requests[before].answer(409, {
            error: 'unsaved changes',
            unsaved: 'a.json',
        });
        await host.settle();
        if (agrees) host.requests[before + 1].answer(200, {version: 2});
        assert.equal(await opened, agrees);
    }
    assert.deepEqual(asked, ['a.json', 'a.json']);
    assert.deepEqual(
        host.requests.map((request) => request.body),
        [{path: '/tmp/b.json'}, {path: '/tmp/b.json'}, {path: '/tmp/b.json', discardChanges: true}],
    );
    await assert.rejects(
        (async () => {
            const opened = actions.open('/tmp/c.json', async () => true);
            await host.settle();
            host.requests.at(-1).answer(422, {error: 'c.json cannot be read'});
            return opened;
        })(),
        {status: 422},
        "any other refusal is the caller's to show",
    );
});

test('a key stroke is named as the host takes it, whatever the keys held make of the character', () => {
    const name = (key, code) => hostKeyName({key, code});
    assert.equal(name('˚', 'KeyK'), 'k'); // Alt+K on a layout that types a character with Alt
    assert.equal(name('K', 'KeyK'), 'k');
    assert.equal(name('!', 'Digit1'), '1');
    assert.equal(name('-', 'Minus'), '-');
    assert.equal(name(' ', 'Space'), 'Space');
    assert.equal(name('Escape', 'Escape'), 'Esc');
    assert.equal(name('Delete', 'Delete'), 'Delete');
    assert.equal(name('ArrowUp', 'ArrowUp'), null);
    assert.equal(name('Shift', 'ShiftLeft'), null);
    assert.equal(name('F5', 'F5'), null);
});
