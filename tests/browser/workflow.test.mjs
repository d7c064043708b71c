// The whole isolation workflow in one session, by mouse and keyboard as a person does it in
// headless Chromium: isolate, move a wheel, add a cube, delete and undo, copy into a new document,
// press in another take, save, reopen and press. Each step is tested in detail in editing.test.mjs
// and documents.test.mjs; this one tests that they hold together.

import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';
import {addCubeAtTheTop, pressTo, row, selectOnly, until, velaButton} from './editing-steps.mjs';
import {gizmoXHandle, screenshot, studioOnExampleCopy} from './studio-harness.mjs';

// Every object of the active document as the page holds it, by name.
const objectsByName = (page) =>
    page.evaluate(() => {
        const {store} = window.studio;
        const objects = {};
        for (let i = 0; i < store.count(); i++) {
            const {name, editor, render, enabled, isolated, transform} = store.objectAt(i);
            objects[name] = {
                states: {editor, render, enabled},
                isolated,
                transform,
            };
        }
        return objects;
    });

describe('the isolation workflow', () => {
    let session;

    before(async () => {
        session = await studioOnExampleCopy('vela-workflow-');
    });

    after(async () => {
        await session?.end();
    });

    test('isolate, edit, copy into a new document, press in another take, save, reopen, press', async () => {
        const {page, problems} = session.opened;
        const start = await objectsByName(page);

        // The car with its parts, isolated.
        await row(page, 'Car').dblclick();
        await until(page, () => window.studio.store.selectedIds().length === 6);
        await pressTo(page, 'true');

        // A wheel dragged along X with the gizmo: one step, named in the Edit menu.
        await selectOnly(page, 'Wheel FL');
        const handle = await gizmoXHandle(page);
        await page.mouse.move(handle.x, handle.y);
        await page.mouse.down();
        await page.mouse.move(handle.x + 110, handle.y + 8, {steps: 12});
        await page.mouse.up();
        await until(
            page,
            () => window.studio.store.history.undo === 'Transform Wheel FL' && window.studio.gizmo.inFlight === 0,
        );
        const moved = (await objectsByName(page))['Wheel FL'].transform;
        assert.ok(moved[12] > (start['Wheel FL'].transform?.[12] ?? 0) + 0.1, `the wheel moved along X: ${moved[12]}`);
        await page.getByRole('button', {name: 'Edit', exact: true}).click();
        await page.getByRole('menuitem', {name: 'Undo Transform Wheel FL'}).waitFor();
        await screenshot(page, 'workflow-01-wheel-moved-inside-the-isolation');
        await page.keyboard.press('Escape');

        // A cube at the top level, drawn.
        await addCubeAtTheTop(page);

        // The ball and the cone deleted together and brought back by one undo from the keyboard.
        const beforeDelete = await objectsByName(page);
        await selectOnly(page, 'Ball');
        await row(page, 'Cone').click({modifiers: ['Shift']});
        await until(page, () => window.studio.store.selectedIds().length === 2);
        await page.keyboard.press('Delete');
        await row(page, 'Ball').waitFor({state: 'detached'});
        await until(page, () => window.studio.store.history.undo === 'Delete 2 Objects');
        assert.equal(await row(page, 'Cone').count(), 0);
        await page.keyboard.press('Control+z');
        await row(page, 'Ball').waitFor();
        await row(page, 'Cone').waitFor();
        assert.deepEqual(await objectsByName(page), beforeDelete, 'both back as they were, records and all');

        // The body copied into a new document: the copy carries its isolation record.
        await row(page, 'Body').click();
        await page.keyboard.press('Control+c');
        await page.getByRole('button', {name: 'New', exact: true}).click();
        await until(page, () => document.querySelectorAll('[role="treeitem"]:not([hidden])').length === 0);
        await page.keyboard.press('Control+v');
        await row(page, 'Body').waitFor();
        const pasted = await objectsByName(page);
        assert.deepEqual(Object.keys(pasted), ['Body']);
        assert.equal(pasted.Body.isolated, true, 'the pasted body is marked isolated');
        assert.equal(await velaButton(page).getAttribute('aria-pressed'), 'false', 'the new document is not isolated');

        // Back in the studio document: a press in the Night take changes nothing and says why.
        await page.getByRole('tab').filter({hasText: 'Studio'}).click();
        await until(
            page,
            () => document.querySelector('[role="tab"][aria-selected="true"]')?.textContent === 'Studio •',
        );
        const takes = page.getByRole('list', {name: 'Takes'});
        await takes.getByRole('button', {name: 'Night'}).click();
        await until(page, () => document.querySelector('#takes [aria-pressed="true"]')?.dataset.name === 'Night');
        const edited = await objectsByName(page);
        await velaButton(page).click();
        await until(page, () => !document.getElementById('press-notice').hidden);
        assert.match(await page.locator('#press-notice').textContent(), /Nothing changed: the current take is “Night”/);
        assert.equal(await velaButton(page).getAttribute('aria-pressed'), 'true');
        assert.deepEqual(await objectsByName(page), edited, 'the press outside the main take left the scene as it was');

        // The main take again, saved, the saved file opened again, pressed.
        await takes.getByRole('button', {name: 'Main (main take)'}).focus();
        await page.keyboard.press('Enter');
        await until(page, () => document.getElementById('press-notice').hidden);
        await page.getByRole('button', {name: 'Save', exact: true}).click();
        await until(page, () => document.querySelector('[role="tab"][aria-selected="true"]')?.textContent === 'Studio');
        const path = page.locator('#file-path');
        assert.equal(await path.inputValue(), session.scene);
        const loads = await page.evaluate(() => window.studio.store.loads);
        await page.getByRole('button', {name: 'Open', exact: true}).click();
        await until(page, (loads) => window.studio.store.loads > loads, loads);
        assert.equal(await page.getByRole('tab').count(), 2, 'the file opened again in its own tab');
        await until(page, () => document.getElementById('vela-button').getAttribute('aria-pressed') === 'true');
        assert.deepEqual(await objectsByName(page), edited, 'the file holds the isolated scene with its edits');
        await pressTo(page, 'false');

        const end = await objectsByName(page);
        for (const [name, {states}] of Object.entries(start)) {
            assert.ok(end[name], `${name} is there`);
            assert.deepEqual(end[name].states, states, `${name} has its states back`);
            assert.equal(end[name].isolated, false, `${name} carries no record`);
        }
        assert.deepEqual(end['Wheel FL'].transform, moved, 'the wheel stays where it was dragged');
        assert.deepEqual(end.Cube.states, edited.Cube.states, 'the cube made while isolated is left as it is');
        assert.deepEqual(problems, []);
    });
});
