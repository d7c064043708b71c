// Steps a person takes while editing in the studio, shared by the browser tests of editing: rows
// of the object manager, the Vela Button, a selection the gizmo follows, and waiting for the page.

import assert from 'node:assert/strict';

export const row = (page, name) => page.getByRole('treeitem', {name, exact: true});
export const velaButton = (page) => page.getByRole('button', {name: 'Vela Button', exact: true});
export const until = (page, check, arg) => page.waitForFunction(check, arg, {timeout: 10000});

// Presses the Vela Button and waits until it is drawn pressed (`wanted` 'true') or not ('false').
export async function pressTo(page, wanted) {
    await velaButton(page).click();
    await until(
        page,
        (wanted) => document.getElementById('vela-button').getAttribute('aria-pressed') === wanted,
        wanted,
    );
}

// Clicks the row of `name` and waits until it alone is selected and the gizmo is on it.
export async function selectOnly(page, name) {
    await row(page, name).click();
    await until(
        page,
        (name) => {
            const {store, gizmo} = window.studio;
            const selected = store.selectedIds();
            return (
                selected.length === 1 && store.nameAt(store.indexOf(selected[0])) === name && gizmo.id === selected[0]
            );
        },
        name,
    );
}

// Clicks the empty viewport (nothing selected) and makes a cube from the Create menu: it is a row
// at the top level and one more object is drawn.
export async function addCubeAtTheTop(page) {
    const canvas = await page.locator('#viewport').boundingBox();
    await page.mouse.click(canvas.x + 8, canvas.y + 8);
    await until(page, () => window.studio.store.selectedIds().length === 0);
    const drawnBefore = await page.evaluate(() => window.studio.viewport.drawnCount());
    await page.getByRole('button', {name: 'Create', exact: true}).click();
    await page.getByRole('menuitem', {name: 'Cube'}).click();
    await row(page, 'Cube').waitFor();
    assert.equal(await row(page, 'Cube').getAttribute('aria-level'), '1');
    assert.equal(
        await page.evaluate(() => window.studio.viewport.drawnCount()),
        drawnBefore + 1,
        'the new cube is drawn',
    );
}
