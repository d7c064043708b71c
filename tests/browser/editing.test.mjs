// Working inside an isolation as a person does, in headless Chromium: the gizmo, the attribute
// panel, renaming, the Create menu, delete and undo; the next press gives every object its states
// back and keeps the edits.

import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';
import {addCubeAtTheTop, pressTo, row, selectOnly, until, velaButton} from './editing-steps.mjs';
import {gizmoXHandle as xHandle, screenPointOf, screenshot, studioOnExampleCopy} from './studio-harness.mjs';

// The states of every object, by id, as the page holds them.
const statesOf = (page) =>
    page.evaluate(() => {
        const {store} = window.studio;
        const states = {};
        for (let i = 0; i < store.count(); i++) {
            const {id, name, editor, render, enabled} = store.objectAt(i);
            states[id] = {name, editor, render, enabled};
        }
        return states;
    });

// An object's local transform as the page holds it (identity when the host left it out).
const transformOf = (page, name) =>
    page.evaluate((name) => {
        const {store} = window.studio;
        for (let i = 0; i < store.count(); i++) {
            if (store.nameAt(i) === name)
                return store.objectAt(i).transform ?? [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
        }
        return null;
    }, name);

// Where the viewport draws object `id`: the X of its world place.
const drawnX = (page, id) =>
    page.evaluate((id) => {
        const {store, viewport} = window.studio;
        return viewport.batches.world[store.indexOf(id) * 16 + 12];
    }, id);

async function press(page) {
    const wasPressed = await velaButton(page).getAttribute('aria-pressed');
    await pressTo(page, wasPressed === 'true' ? 'false' : 'true');
}

describe('editing inside an isolation', () => {
    let session;
    let page;

    before(async () => {
        session = await studioOnExampleCopy('vela-editing-');
        ({page} = session.opened);
    });

    after(async () => {
        await session?.end();
    });

    test('gizmo, panel, rename, create, delete and undo while isolated; the press restores and keeps the edits', async () => {
        const start = await statesOf(page);
        await row(page, 'Car').dblclick();
        await until(page, () => window.studio.store.selectedIds().length === 6);
        await press(page);
        await until(page, () => window.studio.store.objectAt(window.studio.store.indexOf(18)).editor === 'off');

        // Esc during a drag puts the wheel back exactly and leaves no step.
        await selectOnly(page, 'Wheel FL');
        const wheelBefore = await transformOf(page, 'Wheel FL');
        const handle = await xHandle(page);
        await page.mouse.move(handle.x, handle.y);
        await page.mouse.down();
        await page.mouse.move(handle.x + 60, handle.y, {steps: 6});
        await until(page, () => window.studio.store.history.undo === 'Transform Wheel FL');
        await page.keyboard.press('Escape');
        await page.mouse.move(handle.x + 90, handle.y, {steps: 3});
        await page.mouse.up();
        await until(page, () => window.studio.store.history.undo === null && window.studio.gizmo.inFlight === 0);
        assert.deepEqual(await transformOf(page, 'Wheel FL'), wheelBefore, 'the wheel is back where it was');

        // A drag of the wheel's X handle: several updates, one step of the history.
        await page.mouse.move(handle.x, handle.y);
        await page.mouse.down();
        await page.mouse.move(handle.x + 90, handle.y + 10, {steps: 12});
        await page.waitForTimeout(100);
        await page.mouse.move(handle.x + 120, handle.y + 12, {steps: 4});
        await page.mouse.up();
        await until(
            page,
            () => window.studio.store.history.undo === 'Transform Wheel FL' && window.studio.gizmo.inFlight === 0,
        );
        const dragged = await transformOf(page, 'Wheel FL');
        assert.ok(dragged[12] > wheelBefore[12] + 0.1, `the wheel moved along X: ${wheelBefore[12]} → ${dragged[12]}`);
        assert.deepEqual(dragged.slice(13, 15), wheelBefore.slice(13, 15), 'and only along X');
        assert.ok(
            (await page.evaluate(() => window.studio.gizmo.updatesSent)) >= 2,
            'the drag sent updates as it went',
        );
        const drawn = await drawnX(page, 3);
        assert.ok(
            Math.abs(drawn - (-3 + dragged[12])) < 1e-5,
            `the viewport draws the wheel where the host put it: ${drawn}, ${-3 + dragged[12]}`,
        );
        await screenshot(page, 'edit-01-wheel-dragged');
        await page.keyboard.press('Control+z');
        await until(page, () => window.studio.store.history.redo === 'Transform Wheel FL');
        assert.equal((await transformOf(page, 'Wheel FL'))[12], wheelBefore[12], 'one undo takes back the whole drag');
        await page.keyboard.press('Control+Shift+z');
        await until(page, () => window.studio.store.history.undo === 'Transform Wheel FL');
        assert.deepEqual(await transformOf(page, 'Wheel FL'), dragged, 'and a redo does it again');

        // Typed in the attribute panel.
        const height = page.getByRole('textbox', {name: 'Position Y'});
        await height.fill('0.8');
        await height.press('Enter');
        await until(page, () => window.studio.store.objectAt(window.studio.store.indexOf(3)).transform?.[13] === 0.8);

        // F2 renames in place; an empty name is refused with the host's sentence.
        await selectOnly(page, 'Wheel FR');
        await page.keyboard.press('F2');
        const field = page.getByRole('textbox', {name: 'New name of Wheel FR'});
        await field.fill('');
        await field.press('Enter');
        await page.getByRole('alert').getByText('An object needs a name.').waitFor();
        assert.equal(await field.isVisible(), true, 'the field stays for another try');
        await field.fill('Front Right');
        await field.press('Enter');
        await row(page, 'Front Right').waitFor();
        await field.waitFor({state: 'detached'});

        // A cube at the top level: nothing selected, the Create menu.
        await addCubeAtTheTop(page);
        await screenshot(page, 'edit-02-cube-added');

        // Rows dragged onto a row go inside it; Alt+← moves the active row out of its parent.
        await row(page, 'Cube').dragTo(row(page, 'Lights'));
        await until(
            page,
            () => document.querySelector('[role="treeitem"][aria-label="Cube"]')?.getAttribute('aria-level') === '2',
        );
        await row(page, 'Cube').click();
        await page.keyboard.press('Alt+ArrowLeft');
        await until(
            page,
            () => document.querySelector('[role="treeitem"][aria-label="Cube"]')?.getAttribute('aria-level') === '1',
        );

        // Ctrl+C and Ctrl+V in the tree: a copy of the body under the active row, undone.
        await row(page, 'Body').click();
        await page.keyboard.press('Control+c'); // at once: the row clicked, not the selection before
        await selectOnly(page, 'Lights');
        await page.keyboard.press('Control+v');
        await until(page, () => window.studio.store.history.undo === 'Paste Body');
        assert.equal(await page.getByRole('treeitem', {name: 'Body', exact: true}).count(), 2);
        assert.equal(await row(page, 'Key Light').getAttribute('aria-setsize'), '3', 'the copy is among the lights');
        await page.keyboard.press('Control+z');
        await until(page, () => window.studio.store.history.redo === 'Paste Body');
        assert.equal(await page.getByRole('treeitem', {name: 'Body', exact: true}).count(), 1);

        // Delete the ball (hidden by the isolation) and undo it: it comes back with its states.
        const ballBefore = (await statesOf(page))[13];
        await selectOnly(page, 'Ball');
        await page.keyboard.press('Delete');
        await until(page, () => window.studio.store.indexOf(13) < 0);
        await page.getByRole('button', {name: 'Edit', exact: true}).click();
        const undoItem = page.getByRole('menuitem', {name: 'Undo Delete Ball'});
        assert.equal(await undoItem.getAttribute('aria-disabled'), 'false');
        await page.keyboard.press('Escape');
        await page.keyboard.press('Control+z');
        await row(page, 'Ball').waitFor();
        assert.deepEqual((await statesOf(page))[13], ballBefore, 'the ball is back as it was');

        // The press: every object has the states it had, and the edits are kept.
        await press(page);
        const end = await statesOf(page);
        for (const [id, states] of Object.entries(start)) {
            const expected = id === '4' ? {...states, name: 'Front Right'} : states;
            assert.deepEqual(end[id], expected, `object ${id} (${states.name})`);
        }
        assert.equal(Object.values(end).filter((object) => object.name === 'Cube').length, 1, 'the cube stays');
        const wheel = await transformOf(page, 'Wheel FL');
        assert.deepEqual([wheel[12], wheel[13]], [dragged[12], 0.8], 'the wheel stays where it was put');
        await page.getByRole('button', {name: 'Edit', exact: true}).click();
        assert.equal(
            await page.getByRole('menuitem', {name: 'Undo', exact: true}).getAttribute('aria-disabled'),
            'true',
            'a press ends the history',
        );
        await page.keyboard.press('Escape');
        assert.equal(
            await page.getByRole('treeitem').count(),
            21,
            'the tree shows one row an object: the rows left over from longer trees are hidden',
        );
        await screenshot(page, 'edit-03-restored');
    });

    test('a key pressed right after a click in the viewport acts on what was clicked', async () => {
        const ball = 13;
        // Two objects selected, so that no gizmo is on the way of the click.
        await selectOnly(page, 'Cone');
        await row(page, 'Lights').click({modifiers: ['Shift']});
        await until(page, () => window.studio.store.selectedIds().length === 2);
        const before = await page.evaluate(() => window.studio.store.selectedIds());
        const point = await screenPointOf(page, ball);
        // The click's selection reaches the host late, as on a slow machine; Delete comes at once.
        await page.route('**/api/select', async (route) => {
            await new Promise((resolve) => setTimeout(resolve, 400));
            await route.continue();
        });
        await page.mouse.click(point.x, point.y);
        await page.keyboard.press('Delete');
        await until(page, () => window.studio.store.history.undo !== null);
        await page.unroute('**/api/select');
        const left = await page.evaluate(
            (ids) => ids.map((id) => window.studio.store.indexOf(id) >= 0),
            [ball, ...before],
        );
        assert.deepEqual(left, [false, true, true], 'the ball clicked is deleted, what was selected before stays');
        await page.keyboard.press('Control+z');
        await row(page, 'Ball').waitFor();
    });
});
