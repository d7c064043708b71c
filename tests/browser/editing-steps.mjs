// Steps a person takes while editing in the studio, shared by the browser tests of editing: rows
// of the object manager, the Vela Button, a selection the gizmo follows, and waiting for the page.

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
