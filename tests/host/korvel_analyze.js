// Run by korvel --script with the Parlo Speaker open: the docked Lip Sync pane analyses a sample
// sound with its transcript and keys the figure.
var pane = findPane("KvParloPane");
if (!pane) throw new Error("no Lip Sync pane");
pane.setSoundFile(app.getPluginsPath() + "/KvParlo/Evaluation_Sounds/hello_world.wav");
pane.analyzeClicked();
var log = app.logLines().join("\n");
if (/Parlo (warning|Voxtrail|Speech|Gesture)/.test(log)) throw new Error("analysis trouble: " + log);
// Inside the long "ey" of "synchronization", where the mouth is open.
scene.setTime(18144);
"analysed";
