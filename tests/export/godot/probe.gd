# Loads the imported track scene and prints what a game finds in it, one "RESULT" line each:
# collision bodies with their face counts, the materials of the visible meshes, and the timing
# nodes in scene order.
extends SceneTree

func walk(node, found):
	found.append(node)
	for child in node.get_children():
		walk(child, found)

func _init():
	var packed = load("res://track.glb")
	if packed == null:
		print("RESULT missing")
		quit()
		return
	var found = []
	walk(packed.instance(), found)
	for node in found:
		if node is StaticBody:
			for child in node.get_children():
				if child is CollisionShape and child.shape is ConcavePolygonShape:
					print("RESULT body ", node.name, " ", child.shape.get_faces().size() / 3)
		elif node is MeshInstance:
			for i in range(node.mesh.get_surface_count()):
				var material = node.mesh.surface_get_material(i)
				var textured = material is SpatialMaterial and material.albedo_texture != null
				print("RESULT material ", material.resource_name, " ", textured)
		elif node.name == "start" or node.name.begins_with("checkpoint_"):
			print("RESULT node ", node.name)
	quit()
