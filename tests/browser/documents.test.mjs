// Several documents as tabs and the takes of the active one, as a person uses them with the mouse
// and the keyboard in headless Chromium.

import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';
import {launchBrowser, openStudio, screenshot, startStudio} from './studio-harness.mjs';

const velaButton = (page) => page.getByRole('button', {name: 'Vela Button', exact: true});
const tabs = (page) => page.getByRole('tab');

// Waits until `read` (run in the page) answers `wanted`; the page follows the host's events, so
// what a request changed appears a moment after its answer.
async function until(page, read, wanted) {
    await page.waitForFunction(`String(${read}) === ${JSON.stringify(String(wanted))}`, null, {timeout: 10000});
}

const pressedIs = (page, value) =>
    until(page, `document.getElementById('vela-button').getAttribute('aria-pressed')`, value);
const tabCountIs = (page, count) => until(page, `document.querySelectorAll('[role="tab"]').length`, count);
const activeTabIs = (page, text) =>
    until(page, `document.querySelector('[role="tab"][aria-selected="true"]')?.textContent`, text);
const rowCountIs = (page, count) =>
    until(page, `document.querySelectorAll('[role="treeitem"]:not([hidden])').length`, count);

describe('documents and takes', () => {
    let studio;
    let browser;
    let opened;

    before(async () => {
        studio = await startStudio('examples/scenes/studio.json');
        browser = await launchBrowser();
        opened = await openStudio(browser, studio.url);
    });

    after(async () => {
        await browser?.close();
        const status = await studio?.stop();
        assert.equal(status, 0, `vela-host studio ended with ${status}: ${studio?.stderr()}`);
    });

    test('tabs: each document has its tree and its button; switched by click and by keyboard', async () => {
        const {page, problems} = opened;
        await tabCountIs(page, 1);
        await velaButton(page).click(); // Body is selected in the example
        await pressedIs(page, 'true');
        await activeTabIs(page, 'Studio •');

        await page.getByRole('button', {name: 'New', exact: true}).click();
        await tabCountIs(page, 2);
        await activeTabIs(page, 'Untitled');
        await rowCountIs(page, 0);
        await pressedIs(page, 'false'); // drawn by the new document, which is not isolated

        await tabs(page).filter({hasText: 'Studio'}).click();
        await activeTabIs(page, 'Studio •');
        await rowCountIs(page, 20);
        await pressedIs(page, 'true');
        await screenshot(page, 'documents-01-isolated-tab');
        await page.keyboard.press('Alt+PageDown');
        await activeTabIs(page, 'Untitled');
        await pressedIs(page, 'false');
        await page.keyboard.press('Alt+PageUp');
        await activeTabIs(page, 'Studio •');
        await pressedIs(page, 'true');

        // In the strip: → moves the focus, Enter switches, Delete closes (unchanged: no question).
        await tabs(page).first().focus();
        await page.keyboard.press('ArrowRight');
        await page.keyboard.press('Enter');
        await activeTabIs(page, 'Untitled');
        await page.keyboard.press('Delete');
        await tabCountIs(page, 1);
        await activeTabIs(page, 'Studio •');
        await pressedIs(page, 'true');
        assert.deepEqual(problems, []);
    });

    test('takes: outside the main take a press changes nothing and the page says why', async () => {
        const {page} = opened;
        const takes = page.getByRole('list', {name: 'Takes'});
        assert.equal(await takes.getByRole('button').count(), 2); // the example's Main and Night
        assert.equal(await takes.getByRole('button', {pressed: true}).textContent(), 'Main (main take)');

        await page.getByRole('textbox', {name: "New take's name"}).fill('Lighting');
        await page.getByRole('button', {name: 'Add take'}).click();
        await until(page, `document.querySelectorAll('#takes button').length`, 3);
        await takes.getByRole('button', {name: 'Lighting'}).click();
        await until(page, `document.querySelector('#takes [aria-pressed="true"]')?.dataset.name`, 'Lighting');

        const before = await page.evaluate(() => JSON.stringify(window.studio.store.objectAt(0)));
        await velaButton(page).click();
        const notice = page.locator('#press-notice');
        await until(page, `!document.getElementById('press-notice').hidden`, true);
        const said = await notice.textContent();
        assert.match(said, /Nothing changed: the current take is “Lighting”/);
        assert.match(said, /It wrote “.+” to the console/);
        await pressedIs(page, 'true'); // still isolated, untouched
        assert.equal(await page.evaluate(() => JSON.stringify(window.studio.store.objectAt(0))), before);
        await screenshot(page, 'documents-02-press-outside-the-main-take');

        // Back in the main take (from the keyboard) the notice goes and the press restores.
        await takes.getByRole('button', {name: 'Main (main take)'}).focus();
        await page.keyboard.press('Enter');
        await until(page, `document.getElementById('press-notice').hidden`, true);
        await velaButton(page).click();
        await pressedIs(page, 'false');
    });

    test('closing a changed document asks; Cancel keeps it, the choice closes it', async () => {
        const {page} = opened;
        const close = page.getByRole('button', {name: 'Close Studio'});
        await close.click();
        const question = page.getByRole('dialog', {name: 'Changes not saved'});
        await question.waitFor();
        assert.match(await question.textContent(), /“Studio” has changes that are not saved. Close it and lose them\?/);
        await question.getByRole('button', {name: 'Cancel'}).click();
        await until(page, `document.getElementById('status').textContent`, 'Studio was not closed');
        await tabCountIs(page, 1);
        await rowCountIs(page, 20);

        await close.click();
        await question.getByRole('button', {name: 'Close and lose the changes'}).click();
        // The last document gives way to a new empty one.
        await activeTabIs(page, 'Untitled');
        await rowCountIs(page, 0);
    });
});
