// How the object manager lays out its rows, for the tree and for editing in it (where a drop lands,
// where the rename field goes): each row's height and the indent of each level, in pixels.

export const ROW_HEIGHT = 24;
export const INDENT = 14;
