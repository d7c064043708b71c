// The studio as a person uses it: headless Chromium on the page that `vela-host studio` serves for
// the example scene. The steps build on each other and each ends with the document restored.

import assert from 'node:assert/strict';
import {mkdtemp, readFile, rm} from 'node:fs/promises';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {after, before, describe, test} from 'node:test';
import {
    launchBrowser,
    openStudio,
    root,
    screenshot,
    startStudio,
    viewportPixels,
    writeTownGltf,
} from './studio-harness.mjs';

const row = (page, name) => page.getByRole('treeitem', {name, exact: true});
const dot = (page, name, member) => row(page, name).getByRole('button', {name: new RegExp(`^${member}`)});
const velaButton = (page) => page.getByRole('button', {name: 'Vela Button', exact: true});

// Waits until the element's attribute has the value; the page follows the host's events, so
// what a request changed appears a moment after its answer.
async function until(locator, attribute, value) {
    const handle = await locator.elementHandle();
    await locator
        .page()
        .waitForFunction(
            ([element, name, wanted]) => element.getAttribute(name) === wanted,
            [handle, attribute, value],
            {timeout: 10000},
        );
}

async function press(page, modifiers = []) {
    const wasPressed = await velaButton(page).getAttribute('aria-pressed');
    await velaButton(page).click({modifiers});
    await until(velaButton(page), 'aria-pressed', wasPressed === 'true' ? 'false' : 'true');
}

async function selectOnly(page, name) {
    await row(page, name).click();
    await until(row(page, name), 'aria-selected', 'true');
}

describe('the studio page', () => {
    let studio;
    let browser;
    let first;

    before(async () => {
        studio = await startStudio('examples/scenes/studio.json');
        browser = await launchBrowser();
        first = await openStudio(browser, studio.url);
    });

    after(async () => {
        await browser?.close();
        const status = await studio?.stop();
        assert.equal(status, 0, `vela-host studio ended with ${status}: ${studio?.stderr()}`);
    });

    test('shows the scene: the tree with its states and a drawn viewport', async () => {
        const {page} = first;
        assert.match(await page.title(), /^Studio — Vela Studio$/);
        assert.equal(await page.getByRole('treeitem').count(), 20);
        const car = row(page, 'Car');
        assert.deepEqual(
            [await car.getAttribute('aria-level'), await car.getAttribute('aria-expanded')],
            ['1', 'true'],
        );
        const cage = row(page, 'Hull Cage');
        assert.deepEqual(
            [
                await cage.getAttribute('aria-level'),
                await cage.getAttribute('aria-posinset'),
                await cage.getAttribute('aria-setsize'),
            ],
            ['2', '1', '1'],
        );
        assert.equal(await row(page, 'Body').getAttribute('aria-selected'), 'true');
        assert.equal(await dot(page, 'Hull Cage', 'editor').getAttribute('aria-label'), 'editor visibility: off');
        assert.equal(await row(page, 'Fill Light').getByRole('button', {name: 'enabled: no'}).count(), 1);
        assert.equal(await velaButton(page).getAttribute('aria-pressed'), 'false');
        assert.ok((await viewportPixels(page)).drawn > 1000, 'the viewport draws the scene');
        await screenshot(page, '01-scene');
    });

    test('a press isolates the selection in the viewport, the next brings the first picture back', async () => {
        const {page} = first;
        await selectOnly(page, 'Ball');
        assert.equal(await row(page, 'Body').getAttribute('aria-selected'), 'false');
        const all = await viewportPixels(page, {keepAs: 'all'});

        await press(page);
        await until(dot(page, 'Floor', 'editor'), 'aria-label', 'editor visibility: off');
        assert.equal(await dot(page, 'Ball', 'editor').getAttribute('aria-label'), 'editor visibility: on');
        assert.equal(await row(page, 'Ball').getByText('isolation record').isVisible(), true);
        const isolated = await viewportPixels(page);
        assert.ok(
            isolated.drawn > 0 && isolated.drawn < all.drawn / 2,
            `only the ball is drawn: ${isolated.drawn} of ${all.drawn} pixels`,
        );
        await screenshot(page, '02-isolated');

        await press(page);
        await until(dot(page, 'Floor', 'editor'), 'aria-label', 'editor visibility: default');
        assert.equal(await row(page, 'Ball').getByText('isolation record').isVisible(), false);
        assert.equal((await viewportPixels(page, {compareWith: 'all'})).changed, 0, 'the first picture is back');
        await screenshot(page, '03-restored');
    });

    test('Shift adds to a running isolation; Ctrl isolates the render view too', async () => {
        const {page} = first;
        await press(page); // the ball alone
        await row(page, 'Floor').click({modifiers: ['Shift']});
        await until(row(page, 'Floor'), 'aria-selected', 'true');
        assert.equal(
            await row(page, 'Ball').getAttribute('aria-selected'),
            'true',
            'Shift-click adds to the selection',
        );
        await velaButton(page).click({modifiers: ['Shift']});
        await until(dot(page, 'Floor', 'editor'), 'aria-label', 'editor visibility: on');
        assert.equal(await velaButton(page).getAttribute('aria-pressed'), 'true');
        await screenshot(page, '04-shift-added');
        await press(page);

        await selectOnly(page, 'Ball');
        await page.getByRole('button', {name: 'Render view'}).click();
        const renderAll = await viewportPixels(page, {keepAs: 'render'});
        await press(page, ['Control']);
        await until(dot(page, 'Floor', 'render'), 'aria-label', 'render visibility: off');
        const renderIsolated = await viewportPixels(page);
        assert.ok(
            renderIsolated.drawn > 0 && renderIsolated.drawn < renderAll.drawn / 2,
            `the render view shows the ball alone: ${renderIsolated.drawn} of ${renderAll.drawn}`,
        );
        await screenshot(page, '05-ctrl-render-view');
        await press(page);
        assert.equal((await viewportPixels(page, {compareWith: 'render'})).changed, 0);
        await page.getByRole('button', {name: 'Render view'}).click();
    });

    test('Alt switches the other objects off instead of hiding them', async () => {
        const {page} = first;
        await press(page, ['Alt']);
        const floorEnabled = row(page, 'Floor').locator('[data-member="enabled"]');
        await until(floorEnabled, 'aria-label', 'enabled: no');
        assert.equal(await dot(page, 'Floor', 'editor').getAttribute('aria-label'), 'editor visibility: default');
        const isolated = await viewportPixels(page);
        assert.ok(isolated.drawn > 0 && isolated.drawn < (await viewportPixels(page, {})).total / 10);
        await screenshot(page, '06-alt');
        await press(page);
        await until(floorEnabled, 'aria-label', 'enabled: yes');
        assert.equal((await viewportPixels(page, {compareWith: 'all'})).changed, 0);
    });

    test('a hotkey assigned in the preferences window and its dialog presses the button', async () => {
        const {page} = first;
        await page.getByRole('button', {name: 'Preferences'}).click();
        const preferences = page.getByRole('dialog', {name: 'Vela Button'});
        await preferences.getByRole('button', {name: 'Assign Hotkey...'}).click();
        const dialog = page.getByRole('dialog', {
            name: 'Vela Button Hotkey Assignment',
        });
        await dialog.getByRole('textbox').fill('k');
        await screenshot(page, '07-hotkey-dialog');
        await dialog.getByRole('button', {name: 'OK'}).click();
        const message = page.getByRole('dialog', {name: 'Message'});
        await message.getByText(/All keys have been assigned/).waitFor();
        await screenshot(page, '08-hotkey-message');
        await message.getByRole('button', {name: 'OK'}).click();
        await message.waitFor({state: 'hidden'});

        await page.keyboard.press('Alt+KeyK');
        await until(velaButton(page), 'aria-pressed', 'true');
        assert.equal(
            await row(page, 'Floor').locator('[data-member="enabled"]').getAttribute('aria-label'),
            'enabled: no',
            'Alt+K is the button with Alt',
        );
        await page.keyboard.press('KeyK');
        await until(velaButton(page), 'aria-pressed', 'false');
    });

    test('the module window shows on every page; cancelled, it assigns nothing; other actions wait for it', async () => {
        const {page} = first;
        const second = await openStudio(browser, studio.url);
        try {
            await page
                .getByRole('dialog', {name: 'Vela Button'})
                .getByRole('button', {name: 'Assign Hotkey...'})
                .click();
            const dialog = page.getByRole('dialog', {
                name: 'Vela Button Hotkey Assignment',
            });
            await dialog.getByRole('textbox').fill('j');
            const shownThere = second.page.getByRole('dialog', {
                name: 'Vela Button Hotkey Assignment',
            });
            await shownThere.waitFor();
            await second.page.waitForFunction(() => document.querySelector('#module-window input').value === 'j');

            const refused = await second.context.request.post(`${studio.origin}/api/press`, {
                data: {shift: false, ctrl: false, alt: false},
            });
            assert.equal(refused.status(), 409);
            assert.match((await refused.json()).error, /Vela Button Hotkey Assignment/);

            await dialog.getByRole('button', {name: 'Cancel'}).click();
            await dialog.waitFor({state: 'hidden'});
            await shownThere.waitFor({state: 'hidden'});
            await page.keyboard.press('KeyJ');
            await page.getByRole('status').getByText('j: no command has this shortcut').waitFor();
            assert.equal(await velaButton(page).getAttribute('aria-pressed'), 'false');
            await screenshot(page, '09-cancelled');
        } finally {
            await second.context.close();
        }
    });

    test('two pages show the same; a reload shows the state; a file that cannot be opened is explained', async () => {
        const {page} = first;
        const second = await openStudio(browser, studio.url);
        try {
            await selectOnly(page, 'Ball');
            await press(page);
            await until(velaButton(second.page), 'aria-pressed', 'true');
            await until(dot(second.page, 'Floor', 'editor'), 'aria-label', 'editor visibility: off');
            assert.equal(await row(second.page, 'Ball').getAttribute('aria-selected'), 'true');
            const isolated = await viewportPixels(page, {keepAs: 'isolated'});

            await page.reload();
            await until(velaButton(page), 'aria-pressed', 'true');
            assert.equal(await dot(page, 'Floor', 'editor').getAttribute('aria-label'), 'editor visibility: off');
            await screenshot(page, '10-reloaded');
            assert.equal(
                (await viewportPixels(page)).drawn,
                isolated.drawn,
                'the reloaded page draws the isolated scene',
            );

            await second.page.getByLabel('Path').fill('/nonexistent/scene.json');
            await second.page.getByRole('button', {name: 'Open', exact: true}).click();
            await second.page
                .getByRole('alert')
                .getByText(/\/nonexistent\/scene\.json/)
                .waitFor();
            await screenshot(second.page, '11-open-refused');
            assert.equal(await velaButton(second.page).getAttribute('aria-pressed'), 'true', 'the document stays open');

            await press(page);
            await until(velaButton(second.page), 'aria-pressed', 'false');
        } finally {
            await second.context.close();
        }
    });

    test('a double-click selects an object with its children, and so does the menu from the keyboard', async () => {
        const {page} = first;
        const car = ['Car', 'Body', 'Wheel FL', 'Wheel FR', 'Wheel RL', 'Wheel RR'];
        const selected = async (names) =>
            Promise.all(names.map((name) => row(page, name).getAttribute('aria-selected')));
        await selectOnly(page, 'Car');
        await press(page);
        await until(dot(page, 'Body', 'editor'), 'aria-label', 'editor visibility: off');
        const carAlone = await viewportPixels(page);
        await press(page);

        await row(page, 'Car').dblclick();
        await until(row(page, 'Wheel RR'), 'aria-selected', 'true');
        assert.deepEqual(
            await selected(car),
            car.map(() => 'true'),
        );
        assert.deepEqual(await selected(['Ball', 'Floor', 'Car Copy']), ['false', 'false', 'false']);
        await press(page);
        await until(dot(page, 'Body', 'editor'), 'aria-label', 'editor visibility: on');
        const carWhole = await viewportPixels(page);
        assert.ok(
            carAlone.drawn > 0 && carWhole.drawn > 10 * carAlone.drawn,
            `the car is drawn with its body and wheels: ${carWhole.drawn} pixels, the null alone ${carAlone.drawn}`,
        );
        await screenshot(page, '12-car-with-children');
        await press(page);

        await selectOnly(page, 'Lights');
        await page.keyboard.press('Shift+Tab');
        const menuButton = page.getByRole('button', {name: 'Objects menu'});
        assert.equal(
            await menuButton.evaluate((button) => button === document.activeElement),
            true,
            'Shift+Tab leads from the tree to the menu button',
        );
        await page.keyboard.press('Enter');
        const entry = page.getByRole('menuitem', {name: 'Select Children'});
        await page.keyboard.press('ArrowDown');
        assert.equal(
            await entry.evaluate((item) => item === document.activeElement),
            true,
            'the menu has the focus on its entry',
        );
        await page.keyboard.press('Enter');
        await until(row(page, 'Fill Light'), 'aria-selected', 'true');
        assert.deepEqual(await selected(['Lights', 'Key Light', 'Car']), ['true', 'true', 'false']);
        assert.equal(await entry.isVisible(), false, 'the menu closed');
        assert.equal(
            await menuButton.evaluate((button) => button === document.activeElement),
            true,
            'the focus is back on the menu button',
        );
    });

    test('an instance draws the whole car it refers to, hidden or not; the bitmap button shows its picture', async () => {
        const {page} = first;
        // A click on a dot cycles default -> on -> off -> default.
        const setEditor = async (name, clicks, mode) => {
            for (let k = 0; k < clicks; k++) await dot(page, name, 'editor').click();
            await until(dot(page, name, 'editor'), 'aria-label', `editor visibility: ${mode}`);
        };
        await viewportPixels(page, {keepAs: 'before-instances'});
        await setEditor('Floor', 2, 'off'); // what stands on the floor is then counted by its pixels
        const all = await viewportPixels(page);
        await setEditor('Car', 2, 'off');
        const carHidden = await viewportPixels(page);
        await screenshot(page, '13-car-hidden-copy-shown');
        await setEditor('Car Copy', 2, 'off');
        const bothHidden = await viewportPixels(page);
        const car = all.drawn - carHidden.drawn;
        const copy = carHidden.drawn - bothHidden.drawn;
        assert.ok(
            car > 500 && copy > car / 3,
            `the copy draws a car while the car is hidden: ${copy} pixels, the car ${car}`,
        );
        await setEditor('Car', 1, 'default');
        await setEditor('Car Copy', 1, 'default');
        await setEditor('Floor', 1, 'default');
        assert.equal((await viewportPixels(page, {compareWith: 'before-instances'})).changed, 0);

        const preferences = page.getByRole('dialog', {name: 'Vela Button'});
        if (!(await preferences.isVisible())) await page.getByRole('button', {name: 'Preferences'}).click();
        const website = preferences.getByRole('button', {
            name: 'Visit the Vela website',
            exact: true,
        });
        await website.locator('img').waitFor();
        const size = await page.waitForFunction(
            () => {
                const image = document.querySelector('#preferences-body button.bitmapbutton img');
                return (
                    image?.complete &&
                    image.naturalWidth > 0 && [image.naturalWidth, image.naturalHeight, image.width, image.height]
                );
            },
            null,
            {timeout: 10000},
        );
        const [naturalWidth, naturalHeight, width, height] = await size.jsonValue();
        assert.deepEqual([naturalWidth, naturalHeight], [width, height], 'the picture is as large as the host said');
        await screenshot(page, '14-bitmap-button');
    });

    test('a page without the token is refused and changes nothing', async () => {
        const {page} = first;
        const stranger = await browser.newContext();
        try {
            const versionBefore = await page.evaluate(() => window.studio.store.version);
            const answer = await stranger.request.post(`${studio.origin}/api/press`, {
                data: {shift: false, ctrl: false, alt: false},
            });
            assert.equal(answer.status(), 401);
            const shown = await stranger.newPage();
            const response = await shown.goto(`${studio.origin}/`);
            assert.equal(response.status(), 401);
            await page.waitForTimeout(300);
            assert.equal(await page.evaluate(() => window.studio.store.version), versionBefore);
            assert.equal(await velaButton(page).getAttribute('aria-pressed'), 'false');
        } finally {
            await stranger.close();
        }
        assert.deepEqual(first.problems, [], 'no script error on the page');
    });

    // Last, as it leaves another document open.
    test('a scene dropped on the page opens under its name, as a document never saved', async () => {
        const {page} = first;
        const scene = JSON.parse(await readFile(join(root, 'examples/scenes/studio.json'), 'utf8'));
        scene.objects.find((object) => object.name === 'Ball').name = 'Dropped Ball';
        const dispatch = (type) =>
            page.evaluate(
                ([type, text]) => {
                    // One transfer for the whole drag, as the browser keeps it.
                    if (!window.dragged) {
                        window.dragged = new DataTransfer();
                        window.dragged.items.add(new File([text], 'garage.json', {type: 'application/json'}));
                    }
                    document.getElementById('viewport').dispatchEvent(
                        new DragEvent(type, {
                            dataTransfer: window.dragged,
                            bubbles: true,
                            cancelable: true,
                        }),
                    );
                },
                [type, JSON.stringify(scene)],
            );
        const hint = page.getByRole('status').filter({hasText: 'Drop to open'});
        await dispatch('dragenter');
        await hint.waitFor();
        await screenshot(page, '15-drop-hint');
        // The example scene was changed by the steps before: the page asks before losing that.
        const question = page.getByRole('dialog', {name: 'Changes not saved'});
        await dispatch('drop');
        await question.getByText('“Studio” has changes that are not saved. Open garage.json and lose them?').waitFor();
        await screenshot(page, '16-unsaved-question');
        await page.keyboard.press('Escape');
        await question.waitFor({state: 'hidden'});
        await page.getByText('garage.json was not opened').waitFor();
        assert.equal(await row(page, 'Ball').count(), 1, 'the changed document is still open');
        await dispatch('drop');
        await question.getByRole('button', {name: 'Open and lose the changes'}).click();
        await row(page, 'Dropped Ball').waitFor();
        assert.equal(await hint.count(), 0, 'the hint is gone after the drop');
        assert.equal(await row(page, 'Ball').count(), 0);
        assert.equal(await page.getByRole('treeitem').count(), 20);
        assert.equal(await page.title(), 'garage.json — Vela Studio');
        // The path field no longer offers the file opened before as the place to save to.
        await page.waitForFunction(() => document.getElementById('file-path').value === '', null, {timeout: 5000});
        await screenshot(page, '17-dropped');

        const preferences = page.getByRole('button', {
            name: 'Close the preferences',
        });
        if (await preferences.isVisible()) await preferences.click();
        await page.getByRole('button', {name: 'Save', exact: true}).click();
        await page
            .getByRole('alert')
            .getByText(/never saved/)
            .waitFor();
        assert.deepEqual(first.problems, [], 'no script error on the page');
    });
});

describe('long work in the studio', () => {
    let studio;
    let browser;
    let folder;
    let town;

    before(async () => {
        folder = await mkdtemp(join(tmpdir(), 'vela-studio-town-'));
        town = join(folder, 'town.gltf');
        // About two seconds to open; the bar shows a tenth of a second in.
        await writeTownGltf(town, 200000);
        studio = await startStudio('examples/scenes/studio.json');
        browser = await launchBrowser();
    });

    after(async () => {
        await browser?.close();
        const status = await studio?.stop();
        await rm(folder, {recursive: true, force: true});
        assert.equal(status, 0, `vela-host studio ended with ${status}: ${studio?.stderr()}`);
    });

    test('a long open shows its progress on every page, and Cancel on any page calls it off', async () => {
        const opener = await openStudio(browser, studio.url);
        const other = await openStudio(browser, studio.url);
        try {
            await opener.page.getByLabel('Path').fill(town);
            await opener.page.getByRole('button', {name: 'Open', exact: true}).click();
            const bar = (page) => page.getByRole('progressbar', {name: /town\.gltf/});
            await bar(other.page).waitFor();
            await bar(opener.page).waitFor();
            await screenshot(other.page, '20-progress');
            await other.page.getByRole('button', {name: 'Cancel', exact: true}).click();
            await opener.page
                .getByRole('status')
                .getByText(/town\.gltf" was cancelled; nothing changed\./)
                .waitFor();
            await bar(opener.page).waitFor({state: 'hidden'});
            await bar(other.page).waitFor({state: 'hidden'});
            for (const {page} of [opener, other]) {
                assert.equal(await page.title(), 'Studio — Vela Studio', 'the scene stays open');
                assert.equal(await page.getByRole('treeitem').count(), 20);
            }
            assert.equal(await opener.page.getByRole('alert').isVisible(), false, 'a cancel is no error');
            assert.deepEqual([...opener.problems, ...other.problems], [], 'no script error on the pages');
        } finally {
            await opener.context.close();
            await other.context.close();
        }
    });
});
