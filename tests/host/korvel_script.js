// Run by korvel --script with the sample figure open: the scene, the figure, the log and the
// plug-in's classes are all reachable from a script.
var problems = [];
if (pluginClasses.join(",") !== "KvParloPane,KvParloPaneAction,KvBrowseForParloProAction")
    problems.push("plug-in classes " + pluginClasses.join(","));
if (typeof KvParloPane !== "function" || KvParloPane.ParloFileNotOpened !== 516)
    problems.push("KvParloPane class object");
if (scene.figureNames().indexOf("Parlo Head") < 0) problems.push("figures " + scene.figureNames());
var log = app.logLines().join("\n");
if (log.indexOf("Parlo Voxtrail") >= 0) problems.push("engine trouble: " + log);
scene.setTime(2400);
if (scene.getTime() !== 2400) problems.push("time " + scene.getTime());
if (problems.length) throw new Error(problems.join("; "));
"Lip Sync pane ok";
