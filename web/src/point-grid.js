// The scene as points, for the frames a software renderer could not draw in time with every shape:
// one point for each occupied cell of a grid of cubes over the drawn objects' places, the grid as
// fine as a bound on the points allows. Every place where something is drawn keeps a point, dense
// places fewer; the cells are cubes, so a long or flat scene gets as many points as a round one.

const MAX_GRID_CELLS = 1 << 22; // a bound on the cells of the grid, for its table
const FINEST_STEPS = 65536; // cells along the longest side at most: the search's end
const STEP = 1.5;

// `positions` holds x, y, z of each place; `selected[k]` says whether place k belongs to a selected
// object. Answers {first, selected, count, cellSize}: for the k-th chosen cell (k < count) the
// first place in it and whether any place in it is selected, never more than `limit` cells. The
// search for the cell size starts from `startCellSize` when given (the last one chosen, so a
// scene seen again costs one or two passes over its places).
export function gridPoints(positions, selected, limit, startCellSize) {
    const {min, size} = boundsOf(positions);
    const longest = Math.max(size[0], size[1], size[2], 1e-6);
    const tooFine = (cellSize) =>
        cellsAlong(size, cellSize).reduce((product, cells) => product * cells, 1) > MAX_GRID_CELLS;
    let cellSize = startCellSize > 0 ? startCellSize : longest / 64;
    while (tooFine(cellSize)) cellSize *= STEP;
    let chosen = cellsOf(positions, selected, min, size, cellSize);
    while (chosen.count > limit) {
        cellSize *= STEP;
        chosen = cellsOf(positions, selected, min, size, cellSize);
    }
    for (;;) {
        const finer = cellSize / STEP;
        if (chosen.count * STEP * STEP > limit || tooFine(finer) || finer < longest / FINEST_STEPS) break;
        const more = cellsOf(positions, selected, min, size, finer);
        if (more.count > limit) break;
        [cellSize, chosen] = [finer, more];
    }
    return {...chosen, cellSize};
}

function boundsOf(positions) {
    if (positions.length === 0) return {min: [0, 0, 0], size: [0, 0, 0]};
    const min = [Infinity, Infinity, Infinity];
    const max = [-Infinity, -Infinity, -Infinity];
    for (let k = 0; k < positions.length; k += 3) {
        for (let axis = 0; axis < 3; axis++) {
            min[axis] = Math.min(min[axis], positions[k + axis]);
            max[axis] = Math.max(max[axis], positions[k + axis]);
        }
    }
    return {min, size: max.map((value, axis) => value - min[axis])};
}

function cellsAlong(size, cellSize) {
    return size.map((extent) => Math.floor(extent / cellSize) + 1);
}

function cellsOf(positions, selected, min, size, cellSize) {
    const scale = 1 / cellSize;
    const [nx, ny, nz] = cellsAlong(size, cellSize);
    const slot = new Int32Array(nx * ny * nz).fill(-1);
    const first = new Int32Array(selected.length);
    const anySelected = new Uint8Array(selected.length);
    const cell = (value, from, cells) => Math.min(cells - 1, Math.floor((value - from) * scale));
    let count = 0;
    for (let k = 0; k < selected.length; k++) {
        const key =
            cell(positions[k * 3], min[0], nx) +
            nx * (cell(positions[k * 3 + 1], min[1], ny) + ny * cell(positions[k * 3 + 2], min[2], nz));
        let chosen = slot[key];
        if (chosen < 0) {
            chosen = count++;
            slot[key] = chosen;
            first[chosen] = k;
        }
        if (selected[k]) anySelected[chosen] = 1;
    }
    return {first, selected: anySelected, count};
}
